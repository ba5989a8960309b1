# bash completion for dosetta-cli: commands, their options, keys and list values.

# Keys that "help keys" marks with the access $1 (get or set): a key's line starts with its name,
# and the next line ends with the access in parentheses, perhaps with the remote permission
# after a ";".
_dosetta_cli_keys()
{
    dosetta-cli help keys 2>/dev/null | awk -v access="$1" '
        /^  [a-z]/ { key = $1; next }
        key != "" && $0 ~ "[(](get, set|" access ")(; [^)]*)?[)]$" { print key }
        { key = "" }'
}

# The entries of the list key $1, one a line: the key's line ends with them, joined with " | ",
# after the key and its output name.
_dosetta_cli_entries()
{
    dosetta-cli help keys 2>/dev/null | awk -v key="$1" '
        /^  [a-z]/ && $1 == key {
            sub(/^ +[^ ]+ +[^ ]+ +/, "")
            if (index($0, " | ")) { n = split($0, e, / \| /); for (i = 1; i <= n; i++) print e[i] }
            exit
        }'
}

_dosetta_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    local commands="ports search status get set start stop pause prime dispense run watch raw serve sila program calibrate journal help"
    local globals="--port --address --json --timeout --help --version"

    case $prev in
        --port)
            local ports
            ports=$(dosetta-cli ports 2>/dev/null | cut -f2)
            COMPREPLY=($(compgen -W "$ports" -- "$cur"))
            compopt -o filenames 2>/dev/null
            COMPREPLY+=($(compgen -f -- "$cur"))
            return ;;
        --csv | --config | --password-file | --ca-file | --cert-file | --key-file | --cert | --key | --file | --sila-cert | --sila-key | --client-ca | --sila-client-ca)
            _filedir
            return ;;
        --kind)
            COMPREPLY=($(compgen -W "run-start run-end setting refused link program calibration
                service" -- "$cur"))
            return ;;
        --broker | --id | --topic-prefix | --username | --listen | --name | --sila | --sila-name | --vendor-url | --sila-vendor-url | --allow-control-for | --sila-allow-control-for)
            return ;;
        --address | --timeout | --from | --to | --volume | --rate | --for | --interval | --count)
            return ;;
        --pump | --since | --until | --limit)
            return ;;
    esac
    $split && return

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

    case $command in
        get) COMPREPLY=($(compgen -W "$(_dosetta_cli_keys get)" -- "$cur")) ;;
        set)
            if ((cword == i + 1)); then
                COMPREPLY=($(compgen -W "$(_dosetta_cli_keys set)" -- "$cur"))
            elif ((cword == i + 2)); then
                case $prev in
                    # The other modes cannot be chosen; cycles also takes a number.
                    mode) COMPREPLY=($(compgen -W "flow volume" -- "$cur")) ;;
                    cycles) COMPREPLY=($(compgen -W "off inf" -- "$cur")) ;;
                    *)
                        # Entries hold blanks, dots and "&": match the typed text without its
                        # quoting, in any case as the tool does, and escape what is offered.
                        local typed=${cur//\\/} entry
                        typed=${typed#[\"\']}
                        while IFS= read -r entry; do
                            [[ ${entry,,} == "${typed,,}"* ]] || continue
                            if [[ $cur == [\"\']* ]]; then
                                COMPREPLY+=("$entry")
                            else
                                COMPREPLY+=("$(printf '%q' "$entry")")
                            fi
                        done < <(_dosetta_cli_entries "$prev") ;;
                esac
            fi ;;
        search) COMPREPLY=($(compgen -W "--from --to --help" -- "$cur")) ;;
        dispense) COMPREPLY=($(compgen -W "--volume --rate --wait --help" -- "$cur")) ;;
        run) COMPREPLY=($(compgen -W "--rate --for --wait --help" -- "$cur")) ;;
        calibrate)
            COMPREPLY=($(compgen -W "--nominal --mass --density --balance --doses
                --balance-timeout --yes --help" -- "$cur")) ;;
        watch) COMPREPLY=($(compgen -W "--interval --count --csv --help" -- "$cur")) ;;
        serve)
            COMPREPLY=($(compgen -W "--broker --id --topic-prefix --username --password-file
                --ca-file --cert-file --key-file --config --allow-control --no-allow-control
                --allow-config --no-allow-config --ha-discovery --sila --sila-insecure --sila-cert
                --sila-key --sila-name --sila-vendor-url --sila-client-ca --sila-allow-control
                --sila-allow-control-for --sila-no-allow-control --sila-allow-anyone
                --sila-allow-config --sila-no-allow-config --sila-no-discovery --stop-left
                --help" -- "$cur")) ;;
        sila)
            COMPREPLY=($(compgen -W "--listen --insecure --cert --key --client-ca --name --vendor-url --allow-control
                --allow-control-for --allow-anyone
                --no-allow-control --allow-config --no-allow-config --no-discovery --config
                --stop-left --help" -- "$cur")) ;;
        program)
            # program check|run FILE: the action, then the file.
            if ((cword == i + 1)); then
                COMPREPLY=($(compgen -W "check run" -- "$cur"))
            elif [[ $cur == -* && ${words[i + 1]} == run ]]; then
                COMPREPLY=($(compgen -W "--csv --yes --help" -- "$cur"))
            elif [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--help" -- "$cur"))
            else
                _filedir
            fi ;;
        journal)
            # journal [verify]: the action, or the options of a listing.
            if [[ $cur == -* && " ${words[*]:i+1:cword-i-1} " == *" verify "* ]]; then
                COMPREPLY=($(compgen -W "--file --help" -- "$cur"))
            elif [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--pump --since --until --kind --runs --calibrations --limit --csv
                    --file --path --help" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "verify" -- "$cur"))
            fi ;;
        help) COMPREPLY=($(compgen -W "keys $commands" -- "$cur")) ;;
        *) COMPREPLY=($(compgen -W "--help" -- "$cur")) ;;
    esac
} &&
    complete -F _dosetta_cli dosetta-cli
