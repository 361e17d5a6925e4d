# bash completion for smtrace: commands, options and algorithm names.
_smtrace() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local algorithms="turbo_reverse_factor morris_pratt not_so_naive raita tuned_bm berry_ravindran skip_search"
  local commands="run compare explain show verify golden study help"
  local command="" word i operands=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    case $word in
      --pattern-file|--text-file|--svg|--html|--algorithms|--format|--output|--cases|--seed) ((i++)) ;;
      -*) ;;
      *) if [[ -z $command ]]; then command=$word; else ((operands++)); fi ;;
    esac
  done
  case $prev in
    --pattern-file|--text-file|--svg|--html|--output|--cases-file)
      COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --format) COMPREPLY=($(compgen -W "line csv json" -- "$cur")); return ;;
    --algorithms)
      local done_part=${cur%,*} rest
      if [[ $cur == *,* ]]; then
        COMPREPLY=($(for rest in $algorithms; do echo "$done_part,$rest"; done | grep -- "^$cur"))
      else
        COMPREPLY=($(compgen -W "$algorithms" -- "$cur"))
      fi
      return ;;
  esac
  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi
  if [[ $cur == -* ]]; then
    local options="--pattern-file --text-file --strip-newline --help"
    case $command in
      run) options+=" --json --format --svg" ;;
      compare) options+=" --algorithms --json --svg --html" ;;
      explain|show) options+=" --json --html" ;;
      verify) options="--cases --seed --max-text --cases-file --format --timeout --shrink-runs --name --list-cases --library --entry --connect --help" ;;
      golden) options="--cases --seed --max-text --output --help" ;;
      study) options="--text-file --generate --lengths --patterns --seed --absent --present --jobs --shard --csv --json --svg --timing --help" ;;
      help) options="" ;;
    esac
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  case $command in
    run|explain|show|verify|golden)
      if ((operands == 0)); then COMPREPLY=($(compgen -W "$algorithms" -- "$cur")); fi ;;
    help)
      if ((operands == 0)); then COMPREPLY=($(compgen -W "run compare explain show verify golden study" -- "$cur")); fi ;;
  esac
}
complete -F _smtrace smtrace
