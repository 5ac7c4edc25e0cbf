# bash completion for tarvek-cli: its subcommands, their options, and the labels of the discs
# saved in the data folder the command line names (or the default one).

_tarvek_cli_labels()
{
    local label
    local -a labels
    mapfile -d '' labels < <("$1" "${@:2}" --null list 2>/dev/null)
    compopt -o filenames 2>/dev/null # bash quotes the spaces of a label
    for label in "${labels[@]}"; do
        [[ $label == "$cur"* ]] && COMPREPLY+=("$label")
    done
}

_tarvek_cli()
{
    local cur prev words cword
    _init_completion || return

    local subcommands="scan scan-images search list show rm rename export"
    local common="--data --json --null --interactive --help --version"
    local valued="--data --label --desc --category --type --size --date --sort --csv --results"
    local sub="" i
    local -a data=()
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --data)
            data=(--data "${words[i + 1]}")
            ((i++))
            ;;
        --data=*) data=("${words[i]}") ;;
        --*=*) ;;
        -*) [[ " $valued " == *" ${words[i]} "* ]] && ((i++)) ;;
        *) [[ -z $sub ]] && sub=${words[i]} ;;
        esac
    done

    case $prev in
    --data)
        _filedir -d
        return
        ;;
    --csv)
        _filedir csv
        return
        ;;
    --category)
        COMPREPLY=($(compgen -W "01 02 03 04 프로그램 데이타 음악 사진" -- "$cur"))
        return
        ;;
    --sort)
        COMPREPLY=($(compgen -W "label desc category" -- "$cur"))
        return
        ;;
    --label | --desc | --type | --size | --date | --results)
        return
        ;;
    esac

    if [[ -z $sub ]]; then
        COMPREPLY=($(compgen -W "$subcommands $common" -- "$cur"))
        return
    fi
    local options
    case $sub in
    scan) options="--label --desc --category --replace" ;;
    scan-images) options="--category --desc --file-names" ;;
    search) options="--files --type --size --date --category" ;;
    list) options="--sort" ;;
    show) options="--tree" ;;
    rename) options="--desc --category" ;;
    export) options="--csv --results --list" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options $common" -- "$cur"))
        return
    fi
    case $sub in
    scan) _filedir ;;
    scan-images) _filedir -d ;;
    show | rm | rename | export) _tarvek_cli_labels "${words[0]}" "${data[@]}" ;;
    esac
} && complete -F _tarvek_cli tarvek-cli
