# Bash completion of tcagent. The commands and options come from tcagent's own --help, so that
# they are never out of date.

_tcagent_help_words() {
  # The subcommands and the long options that the help of "$@" lists in its sections.
  "$1" "${@:2}" --help 2>/dev/null | awk '
    /^Subcommands:/ { commands = 1; next }
    /^[^ ]/ { commands = 0 }
    commands && NF { print $1 }
    /^ +-/ {
      count = split($1, names, ",")
      for (i = 1; i <= count; i++) if (names[i] ~ /^--/) print names[i]
    }'
}

# Completes the current word as a file name, or with -d a directory, one reply for each name
# whatever characters it holds.
_tcagent_files() {
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen "${1:--f}" -- "$current")
}

_tcagent() {
  local current previous program command word words
  current=${COMP_WORDS[COMP_CWORD]}
  previous=${COMP_WORDS[COMP_CWORD - 1]}
  program=${COMP_WORDS[0]}
  # A program typed as ~/... is run from the home directory.
  [[ $program == "~/"* ]] && program=$HOME/${program#"~/"}
  # Bash makes the "=" of "--opt=value" a word of its own; the value is completed after it.
  if [ "$current" = "=" ]; then
    current=
  elif [ "$previous" = "=" ] && [ "$COMP_CWORD" -ge 2 ]; then
    previous=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    case $word in
      apply | show | classify | clear | check | demo) command=$word ;;
    esac
  done
  case $previous in
    --state) _tcagent_files -d; return ;;
    --driver)
      # A library is given by a path with a "/".
      [[ $current == */* ]] && _tcagent_files
      mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -W "pd bfrt" -- "$current")
      return ;;
    --format)
      if [ "$command" = show ]; then
        COMPREPLY=($(compgen -W "table entry json" -- "$current"))
      else
        COMPREPLY=($(compgen -W "text json" -- "$current"))
      fi
      return ;;
    --device | --pipe | --capacity | --fail) return ;;
  esac
  if [[ $current == -* ]]; then
    # The global options, and after a command its own too; the demo and the check take their
    # own only, since they use no global option.
    words=$({ [ "$command" = demo ] || [ "$command" = check ] || _tcagent_help_words "$program"
              [ -z "$command" ] || _tcagent_help_words "$program" "$command"; } |
            grep -- '^-' | sort -u)
    COMPREPLY=($(compgen -W "$words" -- "$current"))
  elif [ "$command" = demo ]; then
    return
  elif [ -z "$command" ] && [[ $current != */* ]]; then
    words=$(_tcagent_help_words "$program" | grep -v -- '^-')
    COMPREPLY=($(compgen -W "$words" -- "$current"))
  elif [ "$command" = apply ] || [ "$command" = check ]; then
    _tcagent_files
  fi
}

complete -F _tcagent tcagent
