# The test half of layer_check (see layer_check.cmake): run by ctest as
#   cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DLINKS_FILE=... -DMAPS=t=map;...
#         -DMISSING=... -P layer_check_test.cmake
# and fails with one line per fault.
cmake_minimum_required(VERSION 3.25)

set(faults "")

# Includes: folder -> the folders whose headers it must not include. Tests
# (*_test.cpp) may drive a unit together with the layer above it; what
# they link is never part of a deliverable. The Shift-JIS helpers and the
# contract (platform/, platform/protocol/) sit below the store and the
# controls, so nothing in platform/ reaches up into store/. clip/ reaches
# the hook library only through its exported header (include_allowed).
set(include_rules
    "clip:main|hook"
    "platform:main|clip|store|controls|hook"
    "controls:main|clip|store"
    "hook:main|clip"
    "buttonbar:main|clip")
set(include_allowed "hook/quillhook.h")
foreach(rule IN LISTS include_rules)
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(GET parts 1 above)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
  foreach(f IN LISTS sources)
    file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](${above})/")
    foreach(h IN LISTS hits)
      string(REGEX MATCH "[\"<]([^\">]+)[\">]" _ "${h}")
      if(CMAKE_MATCH_1 IN_LIST include_allowed)
        continue()
      endif()
      file(RELATIVE_PATH rel ${SOURCE_DIR} ${f})
      string(STRIP "${h}" h)
      list(APPEND faults "${rel}: ${h}")
    endforeach()
  endforeach()
endforeach()

# Link closures: target -> folders nothing of which it may link.
set(link_rules
    "quillhook:main|clip"
    "quillpad:main|clip"
    "quill_protocol:main|clip|store|hook"
    "quill_controls:main|clip|store"
    "quill_clip_core:main"
    "quill_clip_ui:main")
set(needs_protocol quillhook quillpad)

# The folders nothing of which `target` may link ("" when it has no rule).
function(link_rule_for target out)
  set(above "")
  foreach(rule IN LISTS link_rules)
    if(rule MATCHES "^${target}:(.+)$")
      set(above ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(${out} "${above}" PARENT_SCOPE)
endfunction()
file(STRINGS ${LINKS_FILE} link_lines)
foreach(line IN LISTS link_lines)
  string(REGEX MATCH "^([^:]+):(.*)$" _ "${line}")
  set(target ${CMAKE_MATCH_1})
  string(STRIP "${CMAKE_MATCH_2}" deps)
  string(REPLACE " " ";" deps "${deps}")
  link_rule_for(${target} above)
  set(has_protocol FALSE)
  foreach(dep IN LISTS deps)
    string(REGEX MATCH "^([^=]+)=(.*)$" _ "${dep}")
    set(name ${CMAKE_MATCH_1})
    set(where ${CMAKE_MATCH_2})
    if(name STREQUAL "quill_protocol")
      set(has_protocol TRUE)
    endif()
    if(above AND where MATCHES "^(${above})(/|$)")
      list(APPEND faults "${target} links ${name} (${where}/)")
    endif()
  endforeach()
  if(target IN_LIST needs_protocol AND NOT has_protocol)
    list(APPEND faults "${target} does not link quill_protocol")
  endif()
endforeach()

# Link maps: what the linker loaded for the shared library and programs.
foreach(entry IN LISTS MAPS)
  string(REGEX MATCH "^([^=]+)=(.*)$" _ "${entry}")
  set(target ${CMAKE_MATCH_1})
  set(map ${CMAKE_MATCH_2})
  if(NOT EXISTS ${map})
    list(APPEND faults "${target}: no link map at ${map} (not built?)")
    continue()
  endif()
  link_rule_for(${target} above)
  file(READ ${map} text)
  string(REPLACE "${BINARY_DIR}/" "" text "${text}")
  if(above)
    string(REGEX MATCHALL "(^|[ \t\n(])(${above})/[^ \t\n()]*\\.(a|so|o)" loaded "${text}")
    list(REMOVE_DUPLICATES loaded)
    foreach(l IN LISTS loaded)
      string(STRIP "${l}" l)
      list(APPEND faults "${target} was linked with ${l}")
    endforeach()
  endif()
  if(target IN_LIST needs_protocol AND NOT text MATCHES "libquill_protocol\\.a")
    list(APPEND faults "${target}: quill_protocol is not in its link map")
  endif()
endforeach()

foreach(t IN LISTS MISSING)
  message(STATUS "not checked, no such target yet: ${t}")
endforeach()
if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "layer faults:\n  ${text}")
endif()
message(STATUS "layers ok")
