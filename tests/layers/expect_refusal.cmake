# Runs the layer check on the fixture tree and passes only when the check fails and names the
# include that runs back up: file, line and both layers.
#   cmake -DCHECK=<cmake/check_layers.cmake> -DTREE=<fixture> -P expect_refusal.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -DCLIPMILL_SOURCE_DIR=${TREE} -P ${CHECK}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
set(expected "src/net/dialer.cpp:3: #include \"settings/window_state.h\": layer net may not include from layer settings")
if(status EQUAL 0)
  message(FATAL_ERROR "the check passed a tree with an include that runs back up:\n${output}")
endif()
string(FIND "${output}" "${expected}" at)
if(at LESS 0)
  message(FATAL_ERROR "the check failed without naming the include\n  expected: ${expected}\n  got:\n${output}")
endif()
string(REGEX MATCHALL "may not include" refusals "${output}")
list(LENGTH refusals count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "the check refused ${count} includes; only dialer.cpp's runs back up:\n${output}")
endif()
