# bash completion for glyphwerk-cli. The options are read from its --help and the formats from
# its own answer to an unknown one, so the completion follows the installed program.
_glyphwerk_cli() {
    local cur prev words cword
    _init_completion -s || return

    case $prev in
    -f | --format)
        local formats
        formats=$("$1" --format=? x 2>&1 | sed -n "s/.*choose //p" | sed 's/,\| or / /g')
        COMPREPLY=($(compgen -W "${formats:-text ansi html rtf tiff}" -- "$cur"))
        return
        ;;
    --background)
        COMPREPLY=($(compgen -W "black silver gray grey white maroon red purple fuchsia
            magenta green lime olive yellow navy blue teal aqua cyan orange" -- "$cur"))
        return
        ;;
    --font)
        local IFS=$'\n'
        COMPREPLY=($(compgen -W "$(fc-list :spacing=mono family 2>/dev/null | cut -d, -f1 |
            sort -u)" -- "$cur"))
        return
        ;;
    -w | --width | --max-width | -c | --chars | --font-size | --brightness | --contrast)
        return
        ;;
    -o | --output)
        _filedir
        return
        ;;
    --table)
        _filedir txt
        return
        ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir '@(psd|bmp|gif|jp?(e)g|png|tga|tif?(f)|PSD|BMP|GIF|JP?(E)G|PNG|TGA|TIF?(F))'
} &&
    complete -F _glyphwerk_cli glyphwerk-cli
