# Makes the batch tool's manual pages from its help with help2man, at build
# time: dozu-cli(1), and dozu-cli-COMMAND(1) for every command that
# `dozu-cli --help` lists, so that a new command gets its page by itself.
#   cmake -DCLI=dozu-cli -DHELP2MAN=help2man -DVERSION=0.4.0 -DOUT=man
#         -DWRAPPERS=dir -DSTAMP=file -P man_pages.cmake
# help2man runs one program per page: each command's page is made from a
# small script in WRAPPERS that runs `dozu-cli COMMAND "$@"`. The pages are
# compressed (gzip -n: no name or time inside), as Debian installs them.

# The NAME line of the known pages; a command without one here gets the
# first sentence of its description.
set(name_dozu-cli "run dozu's model programs without a screen")
set(name_run "run a dozu program and write the meshes, pictures and compiled output it makes")
set(name_compile "write the compiled output of a dozu program")
set(name_pack "write a dozu program as a C header for the dozu runtime")
set(name_link "print the share link of a dozu program, which dozu's web page opens")
set(name_html "write a dozu model as one self-contained HTML page")

execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${CLI} --help failed (${status})")
endif()

# The commands and their descriptions: the "Subcommands:" section lists each
# as "  NAME   first line", further lines indented deeper, up to a blank line.
string(REPLACE ";" "," help "${help}")
string(REPLACE "\n" ";" lines "${help}")
set(commands)
set(in_section FALSE)
set(current "")
foreach(line IN LISTS lines)
  if(line STREQUAL "Subcommands:")
    set(in_section TRUE)
  elseif(in_section AND line STREQUAL "")
    break()
  elseif(in_section AND line MATCHES "^  ([a-z][a-z0-9-]*) +(.*)$")
    set(current ${CMAKE_MATCH_1})
    list(APPEND commands ${current})
    set(text_${current} "${CMAKE_MATCH_2}")
  elseif(in_section AND current AND line MATCHES "^ +(.*)$")
    string(APPEND text_${current} " ${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT commands)
  message(FATAL_ERROR "${CLI} --help lists no commands")
endif()

file(MAKE_DIRECTORY ${OUT} ${WRAPPERS})
file(GLOB old_pages ${OUT}/*.1 ${OUT}/*.1.gz)
if(old_pages)
  file(REMOVE ${old_pages})
endif()

function(make_page page program name)
  execute_process(
    COMMAND ${HELP2MAN} --no-info --no-discard-stderr --version-string=${VERSION} "--name=${name}"
            --output=${OUT}/${page}.1 ${program}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "help2man failed on ${page} (${status})")
  endif()
  execute_process(COMMAND gzip -9nf ${OUT}/${page}.1 COMMAND_ERROR_IS_FATAL ANY)
endfunction()

make_page(dozu-cli ${CLI} "${name_dozu-cli}")
foreach(command IN LISTS commands)
  set(name "${name_${command}}")
  if(name STREQUAL "")
    string(REGEX REPLACE "\\. .*$" "" name "${text_${command}}")
    string(REGEX REPLACE "\\.$" "" name "${name}")
    string(SUBSTRING "${name}" 0 1 first)
    string(SUBSTRING "${name}" 1 -1 rest)
    string(TOLOWER "${first}" first)
    set(name "${first}${rest}")
  endif()
  set(wrapper ${WRAPPERS}/dozu-cli-${command})
  file(WRITE ${wrapper} "#!/bin/sh\nexec '${CLI}' ${command} \"$@\"\n")
  file(CHMOD ${wrapper} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                    WORLD_EXECUTE)
  make_page(dozu-cli-${command} ${wrapper} "${name}")
endforeach()
file(TOUCH ${STAMP})
