# Compiles the runtime's implementation at -Os with each compiler of
# COMPILERS (NAME=PATH entries) and prints the text size that `size` gives
# for the object; OUT receives the same lines.
find_program(SIZE_TOOL NAMES size REQUIRED)
set(report "")
foreach(entry IN LISTS COMPILERS)
  string(REGEX REPLACE "=.*" "" name "${entry}")
  string(REGEX REPLACE "^[^=]*=" "" cc "${entry}")
  string(MAKE_C_IDENTIFIER "${name}" id)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/dozu_runtime_${id}.o)
  execute_process(
    COMMAND ${cc} -std=c99 -Os -DDOZU_RUNTIME_IMPLEMENTATION -x c -c ${HEADER} -o ${object}
    RESULT_VARIABLE failed ERROR_VARIABLE errors)
  if(failed)
    message(WARNING "dozu runtime: ${name} build failed: ${errors}")
    continue()
  endif()
  # "size" prints a header line, then: text data bss dec hex file
  execute_process(COMMAND ${SIZE_TOOL} ${object} OUTPUT_VARIABLE table)
  string(REGEX MATCH "\n[ \t]*([0-9]+)" unused "${table}")
  set(line "dozu runtime: decoder text ${CMAKE_MATCH_1} bytes at -Os for ${name}")
  message(STATUS "${line}")
  string(APPEND report "${line}\n")
endforeach()
file(WRITE ${OUT} "${report}")
