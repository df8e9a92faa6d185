# Refuses an include that runs back up the layers: every source and header of a layer
# (src/<layer>/..., subfolders included) may include "<folder>/..." only for its own layer or
# a layer below it in CLIPMILL_LAYERS (cmake/layers.cmake).
#
# The top CMakeLists.txt runs it at configure time and before every build. By hand:
#   cmake -P cmake/check_layers.cmake                            checks this checkout's src/
#   cmake -DCLIPMILL_SOURCE_DIR=<dir> -P cmake/check_layers.cmake  checks <dir>/src
# A refused include fails with one line per include: file, line, the include and both layers.

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/layers.cmake)

# The line number of the first line of `content` that is exactly `line`.
function(_clipmill_line_number content line out)
  string(FIND "\n${content}" "\n${line}\n" at)
  if(at LESS 0)
    string(FIND "\n${content}" "\n${line}" at)
  endif()
  string(SUBSTRING "${content}" 0 ${at} before)
  string(REGEX MATCHALL "\n" breaks "${before}")
  list(LENGTH breaks count)
  math(EXPR number "${count} + 1")
  set(${out} ${number} PARENT_SCOPE)
endfunction()

# Appends to `problems_var` one line for each include of `file` (in layer `layer`) that the
# order refuses.
function(_clipmill_check_file root file layer problems_var)
  set(problems "${${problems_var}}")
  list(FIND CLIPMILL_LAYERS ${layer} own)
  file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/[^\"]*\"")
  file(RELATIVE_PATH shown "${root}" "${file}")
  foreach(include_line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" header "${include_line}")
    string(REGEX REPLACE "/.*$" "" target "${header}")
    list(FIND CLIPMILL_LAYERS ${target} theirs)
    if(theirs GREATER -1 AND theirs LESS_EQUAL own)
      continue()
    endif()
    file(READ "${file}" content)
    _clipmill_line_number("${content}" "${include_line}" number)
    if(theirs EQUAL -1)
      set(why "\"${target}\" is no layer of src/ (cmake/layers.cmake lists them)")
    else()
      set(why "layer ${layer} may not include from layer ${target}, which sits above it")
    endif()
    list(APPEND problems "  ${shown}:${number}: #include \"${header}\": ${why}")
  endforeach()
  set(${problems_var} "${problems}" PARENT_SCOPE)
endfunction()

# Checks every layer folder under `src_dir`; a fatal error lists every refused include.
function(clipmill_check_layers src_dir)
  get_filename_component(root "${src_dir}/.." ABSOLUTE)
  set(problems "")
  file(GLOB folders LIST_DIRECTORIES true "${src_dir}/*")
  foreach(folder IN LISTS folders)
    if(NOT IS_DIRECTORY "${folder}")
      continue()
    endif()
    get_filename_component(layer "${folder}" NAME)
    if(NOT layer IN_LIST CLIPMILL_LAYERS)
      file(RELATIVE_PATH shown "${root}" "${folder}")
      list(APPEND problems "  ${shown}: \"${layer}\" is no layer: add it to CLIPMILL_LAYERS in cmake/layers.cmake")
      continue()
    endif()
    file(GLOB_RECURSE files "${folder}/*.h" "${folder}/*.hpp" "${folder}/*.cpp" "${folder}/*.cc")
    foreach(file IN LISTS files)
      _clipmill_check_file("${root}" "${file}" ${layer} problems)
    endforeach()
  endforeach()
  if(problems)
    list(JOIN problems "\n" text)
    string(REPLACE ";" " < " order "${CLIPMILL_LAYERS}")
    message(FATAL_ERROR "Includes that run back up the layers (bottom-up: ${order}):\n${text}\n")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT DEFINED CLIPMILL_SOURCE_DIR)
    get_filename_component(CLIPMILL_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  endif()
  clipmill_check_layers("${CLIPMILL_SOURCE_DIR}/src")
endif()
