# bash completion for dozu-cli: its commands, each command's options, and
# file names by the type an option writes.
_dozu_cli() {
    local cur prev words cword split
    _init_completion -s || return

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            run | compile | pack)
                command=${words[i]}
                break
                ;;
        esac
    done

    case $command in
        "")
            COMPREPLY=($(compgen -W "run compile pack --help --help-all --version" -- "$cur"))
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
                --lines | --scale | --size | --time-limit)
                    return
                    ;;
            esac
            $split && return
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--text --lines --obj --ply --stl --glb --gltf --3mf --input-mesh
                    --scale --time-limit --compiled --png --size --solid --help --help-all" -- "$cur"))
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
