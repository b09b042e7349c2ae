#include "main/ui/quill_app.h"

int main(int argc, char** argv) { return quill::WinMain(argc, argv); }
