# Writes the manual page of tcagent with help2man: the help of the program and of each command.
# Run as: cmake -DTCAGENT=<program> -DOUTPUT=<page> -P manual.cmake
execute_process(COMMAND ${TCAGENT} --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "Subcommands:\n(  [a-z]+[^\n]*\n)+" commands "${help}")
string(REGEX MATCHALL "\n  [a-z]+" names "${commands}")
set(include "[COMMANDS]\n")
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  execute_process(COMMAND ${TCAGENT} ${name} --help OUTPUT_VARIABLE commandHelp
                  COMMAND_ERROR_IS_FATAL ANY)
  string(APPEND include ".SS ${name}\n.nf\n${commandHelp}.fi\n")
endforeach()
file(WRITE ${OUTPUT}.include "${include}")
execute_process(
  COMMAND help2man --no-info --no-discard-stderr --name "a small agent around the ingress traffic-class table"
          --include ${OUTPUT}.include --output ${OUTPUT} ${TCAGENT}
  COMMAND_ERROR_IS_FATAL ANY)
