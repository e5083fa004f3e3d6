# bash completion for vellumix-cli                                   -*- shell-script -*-

_vellumix_cli()
{
    local cur prev words cword
    _init_completion || return

    local scores='@(mus|jst|jus|pge|pag|pt|pts|opt|uno|edi|bim)'
    local i command='' sub='' files=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --data-dir | --list | -o | --output | --time-signature | --anacrusis | \
                --multiple-systems | --from | --tempo | --soundfont | -j | --jobs | --report)
                ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                elif [[ $command == library && -z $sub ]]; then
                    sub=${words[i]}
                else
                    ((files++))
                fi
                ;;
        esac
    done

    case $prev in
        --data-dir)
            _filedir -d
            return ;;
        -o | --output)
            case $command in
                render) _filedir wav ;;
                transcribe-all) _filedir -d ;;
                *) _filedir mid ;;
            esac
            return ;;
        --report)
            _filedir json
            return ;;
        --list)
            _filedir
            return ;;
        --soundfont)
            _filedir 'sf[23]'
            return ;;
        --multiple-systems)
            COMPREPLY=($(compgen -W 'yes no' -- "$cur"))
            return ;;
        --time-signature | --anacrusis | --from | --tempo | -j | --jobs)
            return ;;
    esac

    local options
    case $command in
        '')
            options='--data-dir -v --verbose -h --help --version'
            if [[ $cur != -* ]]; then
                COMPREPLY=($(compgen -W 'library transcribe transcribe-all read-scores
                    read-old-data dump play render' -- "$cur"))
                return
            fi ;;
        library)
            options='-h --help'
            if [[ -z $sub && $cur != -* ]]; then
                COMPREPLY=($(compgen -W 'init path show' -- "$cur"))
                return
            fi ;;
        transcribe | read-scores)
            options='--list --group --time-signature --anacrusis --multiple-systems --yes
                -h --help'
            [[ $command == transcribe ]] && options+=' -o --output --report'
            if [[ $cur != -* ]]; then
                _filedir "$scores"
                return
            fi ;;
        transcribe-all)
            options='-o --output -j --jobs --report --time-signature --anacrusis --multiple-systems
                --yes -h --help'
            if [[ $cur != -* ]]; then
                _filedir -d
                return
            fi ;;
        read-old-data)
            options='-o --output -h --help' ;;
        dump | play | render)
            options='-h --help'
            case $command in
                play) options+=' --from --tempo --soundfont' ;;
                render) options+=' -o --output --soundfont' ;;
            esac
            if [[ $cur != -* ]]; then
                ((files == 0)) || return
                if [[ $command == dump ]]; then _filedir "$scores"; else _filedir mid; fi
                return
            fi ;;
        *)
            return ;;
    esac
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
} &&
    complete -F _vellumix_cli vellumix-cli

# ex: filetype=sh
