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
string(APPEND include [=[
[ENVIRONMENT]
.TP
XDG_RUNTIME_DIR
The default state directory is made in it, as tcagent (else /tmp/tcagent-UID), private to the
user; it must be an absolute path to a directory of the user's own that no one else may write.
.TP
TMPDIR
Where demo makes the directory of its runs.
[FILES]
.TP
STATE/chip-devN.state
The chip model's state of device N: its table's entries and default action.
.TP
STATE/keys-devN-ingressTrafficClass.state
The key store: the table's persisted records, by which a restart learns the chip's entries.
.TP
FILE.damaged, FILE.damaged.1 to FILE.damaged.9
A damaged state file that apply or clear set aside before starting afresh.
]=])
file(WRITE ${OUTPUT}.include "${include}")
execute_process(
  COMMAND help2man --no-info --no-discard-stderr --name "a small agent around the ingress traffic-class table"
          --include ${OUTPUT}.include --output ${OUTPUT} ${TCAGENT}
  COMMAND_ERROR_IS_FATAL ANY)
# The help's example policy is one entry a line: help2man fills it into one paragraph.
file(READ ${OUTPUT} page)
string(REGEX REPLACE "\\.IP\n(prio=[^\n]*\n[^\n]*\n)" ".IP\n.nf\n\\1.fi\n" page "${page}")
file(WRITE ${OUTPUT} "${page}")
