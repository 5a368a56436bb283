# Bash completion of tcagent. The commands and options come from tcagent's own --help, so that
# they are never out of date.

_tcagent_help_words() {
  # Long options and subcommands as the help of "$@" lists them.
  "$1" "${@:2}" --help 2>/dev/null | awk '
    /^Subcommands:/ { commands = 1; next }
    /^[^ ]/ { commands = 0 }
    commands && NF { print $1 }
    { for (i = 1; i <= NF; i++) if ($i ~ /^--[a-z-]+/) { sub(/[=,].*/, "", $i); print $i } }'
}

_tcagent() {
  local current previous program command word
  current=${COMP_WORDS[COMP_CWORD]}
  previous=${COMP_WORDS[COMP_CWORD - 1]}
  program=${COMP_WORDS[0]}
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    case $word in
      apply | show | classify | clear | check | demo) command=$word ;;
    esac
  done
  case $previous in
    --state) COMPREPLY=($(compgen -d -- "$current")); return ;;
    --driver) COMPREPLY=($(compgen -W "pd bfrt" -- "$current") $(compgen -f -- "$current")); return ;;
    --format)
      if [ "$command" = show ]; then
        COMPREPLY=($(compgen -W "table entry json" -- "$current"))
      else
        COMPREPLY=($(compgen -W "text json" -- "$current"))
      fi
      return ;;
    --device | --pipe | --capacity | --fail) return ;;
  esac
  if [[ $current == -* || ( -z $command && $current != */* ) ]]; then
    COMPREPLY=($(compgen -W "$(_tcagent_help_words "$program" $command)" -- "$current"))
  elif [ "$command" = apply ] || [ "$command" = check ]; then
    COMPREPLY=($(compgen -f -- "$current"))
  fi
}

complete -F _tcagent tcagent
