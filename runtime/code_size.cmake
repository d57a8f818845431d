# Compiles the runtime's implementation as an embedded build would (-Os,
# no unwind tables) with each compiler of COMPILERS (NAME=PATH entries) and
# prints the text size that `size` gives for the object (code, read-only
# data and the message texts); OUT receives the same lines. The x86-64
# figure is held against TARGET bytes.
find_program(SIZE_TOOL NAMES size REQUIRED)
set(flags -std=c99 -Os -fno-asynchronous-unwind-tables)
list(JOIN flags " " shown_flags)
set(report "")
foreach(entry IN LISTS COMPILERS)
  string(REGEX REPLACE "=.*" "" name "${entry}")
  string(REGEX REPLACE "^[^=]*=" "" cc "${entry}")
  string(MAKE_C_IDENTIFIER "${name}" id)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/dozu_runtime_${id}.o)
  execute_process(
    COMMAND ${cc} ${flags} -DDOZU_RUNTIME_IMPLEMENTATION -x c -c ${HEADER} -o ${object}
    RESULT_VARIABLE failed ERROR_VARIABLE errors)
  if(failed)
    message(WARNING "dozu runtime: ${name} build failed: ${errors}")
    continue()
  endif()
  # "size" prints a header line, then: text data bss dec hex file
  execute_process(COMMAND ${SIZE_TOOL} ${object} OUTPUT_VARIABLE table)
  string(REGEX MATCH "\n[ \t]*([0-9]+)" unused "${table}")
  set(bytes ${CMAKE_MATCH_1})
  set(line "dozu runtime: decoder text ${bytes} bytes for ${name} (${shown_flags})")
  if(name STREQUAL "x86-64")
    if(bytes GREATER TARGET)
      string(APPEND line ", over the target of ${TARGET}")
    else()
      string(APPEND line ", target at most ${TARGET}: met")
    endif()
  endif()
  message(STATUS "${line}")
  string(APPEND report "${line}\n")
endforeach()
file(WRITE ${OUT} "${report}")
