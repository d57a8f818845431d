# bash completion for dozu-cli: its commands, each command's options, and
# file names by the type an option writes.
_dozu_cli() {
    local cur prev words cword split
    _init_completion -s || return

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            run | compile | pack | link | html)
                command=${words[i]}
                break
                ;;
        esac
    done

    case $command in
        "")
            COMPREPLY=($(compgen -W "run compile pack link html --help --help-all --version" -- "$cur"))
            ;;
        run)
            case $prev in
                --obj | --ply | --stl | --glb | --gltf | --3mf | --png)
                    _filedir "${prev#--}"
                    return
                    ;;
                --compiled)
                    _filedir
                    return
                    ;;
                --lines | --scale | --size | --time-limit | --max-quads)
                    return
                    ;;
            esac
            $split && return
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--text --lines --obj --ply --stl --glb --gltf --3mf --input-mesh
                    --scale --time-limit --max-quads --compiled --png --size --solid --help --help-all" -- "$cur"))
                [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
            elif [[ " ${words[*]} " == *" --text "* ]]; then
                _filedir
            else
                _filedir tpg
            fi
            ;;
        pack)
            case $prev in
                --c)
                    _filedir h
                    return
                    ;;
                --name)
                    return
                    ;;
            esac
            $split && return
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--text --c --name --help --help-all" -- "$cur"))
                [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
            elif [[ " ${words[*]} " == *" --text "* ]]; then
                _filedir
            else
                _filedir tpg
            fi
            ;;
        link | html)
            case $prev in
                --base)
                    return
                    ;;
                -o | --output)
                    _filedir html
                    return
                    ;;
            esac
            $split && return
            if [[ $cur == -* ]]; then
                if [[ $command == link ]]; then
                    COMPREPLY=($(compgen -W "--base --help --help-all" -- "$cur"))
                else
                    COMPREPLY=($(compgen -W "-o --output --help --help-all" -- "$cur"))
                fi
                [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
            else
                _filedir tpg
            fi
            ;;
        compile)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--help --help-all" -- "$cur"))
            elif ((cword == i + 1)); then
                _filedir tpg
            else
                _filedir
            fi
            ;;
    esac
} && complete -F _dozu_cli dozu-cli
