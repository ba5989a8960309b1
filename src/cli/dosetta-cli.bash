# bash completion for dosetta-cli: commands, their options, keys and list values.
_dosetta_cli()
{
    local cur prev words cword
    _init_completion || return

    local commands="ports search status get set start stop pause prime dispense run watch raw help"
    local globals="--port --address --json --timeout --help --version"

    case $prev in
        --port)
            local ports
            ports=$(dosetta-cli ports 2>/dev/null | cut -f2)
            COMPREPLY=($(compgen -W "$ports" -- "$cur"))
            compopt -o filenames 2>/dev/null
            COMPREPLY+=($(compgen -f -- "$cur"))
            return ;;
        --csv)
            _filedir
            return ;;
        --address | --timeout | --from | --to | --volume | --rate | --for | --interval | --count)
            return ;;
    esac

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --port | --address | --timeout) ((i++)) ;;
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands $globals" -- "$cur"))
        return
    fi

    local keys
    keys=$(dosetta-cli help keys 2>/dev/null | awk '/^  [a-z]/ {print $1}')
    case $command in
        get) COMPREPLY=($(compgen -W "$keys" -- "$cur")) ;;
        set)
            if [[ $prev == set ]]; then
                COMPREPLY=($(compgen -W "$keys" -- "$cur"))
            else
                case $prev in
                    mode) COMPREPLY=($(compgen -W "flow volume" -- "$cur")) ;;
                    autostart | protocol-answer) COMPREPLY=($(compgen -W "on off" -- "$cur")) ;;
                    cycles) COMPREPLY=($(compgen -W "off inf" -- "$cur")) ;;
                esac
            fi ;;
        search) COMPREPLY=($(compgen -W "--from --to --help" -- "$cur")) ;;
        dispense) COMPREPLY=($(compgen -W "--volume --rate --wait --help" -- "$cur")) ;;
        run) COMPREPLY=($(compgen -W "--rate --for --wait --help" -- "$cur")) ;;
        watch) COMPREPLY=($(compgen -W "--interval --count --csv --help" -- "$cur")) ;;
        help) COMPREPLY=($(compgen -W "keys $commands" -- "$cur")) ;;
        *) COMPREPLY=($(compgen -W "--help" -- "$cur")) ;;
    esac
} &&
    complete -F _dosetta_cli dosetta-cli
