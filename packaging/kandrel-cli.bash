# bash completion for kandrel-cli
# Subcommands first; then each subcommand's options and the kind of file its positional
# arguments take (.kdl documents, .xml interchange files, .c2ko text files).

_kandrel_cli() {
  local cur prev words cword
  _init_completion || return

  local commands="new dump resave export import fetch check watch list diff merge table apply-table set journal"
  if ((cword == 1)); then
    COMPREPLY=($(compgen -W "$commands --help" -- "$cur"))
    return
  fi

  local command=${words[1]}
  # Options that take a value: complete the value, not another option.
  case $prev in
    -o)
      case $command in
        table) _filedir '@(csv|xlsx)' ;;
        *) _filedir kdl ;;
      esac
      return
      ;;
    --sep)
      COMPREPLY=($(compgen -W ", ;" -- "$cur"))
      return
      ;;
    --record | --target | --timeout | --id | --path | --count | --seconds | --since)
      return
      ;;
    --by)
      COMPREPLY=($(compgen -W "id path" -- "$cur"))
      return
      ;;
  esac

  # Position among the positional arguments typed so far (options and their values skipped).
  local i arg npos=0
  for ((i = 2; i < cword; i++)); do
    arg=${words[i]}
    case $arg in
      -o | --record | --target | --timeout | --id | --path | --count | --seconds | --by | --sep | --since) ((i++)) ;;
      --server) [[ $command == diff ]] && ((i += 2)) || ((i++)) ;;
      -*) ;;
      *) ((npos++)) ;;
    esac
  done

  local options=""
  case $command in
    export) options="--record" ;;
    import) options="--target -o" ;;
    fetch) options="-o --timeout" ;;
    watch) options="--id --path --count --seconds --csv" ;;
    diff) options="--server --timeout --by --ignore-values --json" ;;
    merge) options="-o --json" ;;
    table) options="--record -o --sep" ;;
    apply-table) options="-o --by --delete-missing --dry-run --json" ;;
    set) options="--id --path --timeout" ;;
    journal) options="--server --since --path --csv" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi

  case $command in
    new | dump | check | list)
      ((npos == 0)) && _filedir kdl
      ;;
    resave)
      ((npos < 2)) && _filedir kdl
      ;;
    merge)
      ((npos < 3)) && _filedir kdl
      ;;
    diff)
      if [[ $prev == --server ]]; then
        _known_hosts_real -- "$cur"
      elif ((npos < 2)); then
        _filedir kdl
      fi
      ;;
    table)
      ((npos == 0)) && _filedir kdl
      ;;
    apply-table)
      case $npos in
        0) _filedir kdl ;;
        1) _filedir '@(csv|txt)' ;;
      esac
      ;;
    export)
      case $npos in
        0) _filedir kdl ;;
        1) _filedir xml ;;
      esac
      ;;
    import)
      case $npos in
        0) _filedir kdl ;;
        1) _filedir '@(xml|c2ko)' ;;
      esac
      ;;
    journal)
      if [[ $prev == --server ]]; then
        _known_hosts_real -- "$cur"
      elif ((npos == 0)); then
        _filedir jsonl
      fi
      ;;
    fetch | watch | set)
      case $npos in
        0) _known_hosts_real -- "$cur" ;;
      esac
      ;;
  esac
} &&
  complete -F _kandrel_cli kandrel-cli
