# layer_check: the programs that run beside quillmain and the lower layers
# must not reach into quillmain's own code.
#
# - libquillhook.so and quillpad link the contract library (quill_protocol)
#   and nothing built from main/ or clip/;
# - quill_protocol and the clip/ libraries link nothing built from main/;
#   quill_protocol (the contract, with the key table) and quill_controls
#   link nothing of store/ either: the Shift-JIS helpers they share with
#   the store live in quill_platform, below all three;
# - no source includes a header of a layer above its own (clip/ nothing of
#   main/ and of hook/ only its exported header quillhook.h; platform/ and
#   its contract nothing of store/, controls/, hook/, main/ or clip/;
#   controls/ nothing of store/, main/ or clip/; hook/ and buttonbar/
#   nothing of main/ or clip/).
#
# At configure time the link closure of each checked target is written to
# layer_links.txt, and the shared library and programs are linked with a
# link map. The test (layer_check_test.cmake) judges both, and the map shows
# what the linker really took. A target that does not exist yet (quillpad
# before the bar is built) is left out and named in the test's output.

# Every target that `target` links, directly or through the link interface
# of what it links.
function(quill_link_closure target out)
  set(seen)
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo t)
    if(NOT TARGET ${t} OR t IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${t})
    get_target_property(type ${t} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${t} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${t} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(l IN LISTS links)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.+)>$" "\\1" l "${l}")
      if(TARGET ${l})
        list(APPEND todo ${l})
      endif()
    endforeach()
  endwhile()
  list(REMOVE_ITEM seen ${target})
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

set(quill_layer_targets quillhook quillpad quill_protocol quill_controls quill_clip_core quill_clip_ui)
set(quill_layer_links "")
set(quill_layer_maps "")
set(quill_layer_missing "")
foreach(t IN LISTS quill_layer_targets)
  if(NOT TARGET ${t})
    list(APPEND quill_layer_missing ${t})
    continue()
  endif()
  quill_link_closure(${t} closure)
  set(line "${t}:")
  foreach(dep IN LISTS closure)
    get_target_property(imported ${dep} IMPORTED)
    if(imported)
      set(where "<imported>")
    else()
      get_target_property(dir ${dep} SOURCE_DIR)
      file(RELATIVE_PATH where ${PROJECT_SOURCE_DIR} ${dir})
    endif()
    string(APPEND line " ${dep}=${where}")
  endforeach()
  string(APPEND quill_layer_links "${line}\n")
  get_target_property(type ${t} TYPE)
  if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "EXECUTABLE")
    set(map ${CMAKE_BINARY_DIR}/layer_maps/${t}.map)
    target_link_options(${t} PRIVATE "LINKER:-Map=${map}")
    list(APPEND quill_layer_maps "${t}=${map}")
  endif()
endforeach()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/layer_maps)
file(WRITE ${CMAKE_BINARY_DIR}/layer_links.txt "${quill_layer_links}")

add_test(NAME layer_check
         COMMAND ${CMAKE_COMMAND}
                 -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                 -DBINARY_DIR=${CMAKE_BINARY_DIR}
                 -DLINKS_FILE=${CMAKE_BINARY_DIR}/layer_links.txt
                 "-DMAPS=${quill_layer_maps}"
                 "-DMISSING=${quill_layer_missing}"
                 -P ${CMAKE_CURRENT_LIST_DIR}/layer_check_test.cmake)
