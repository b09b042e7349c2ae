// The shared hook block and the command protocol, as the hook library
// sees them. Every file of the library reaches the contract through here.
#pragma once

#include "platform/protocol/shared_hook_block.h"
