# bash completion for morvik-cli and morvik.
# The subcommands, the options and the values of options with a fixed set of values are read
# from the programs' own --help, so that the completion never falls behind them.

# The line of `help` that lists option $1 ("  -j,--jobs INT:INT in [1 - 256]").
_morvik_help_line()
{
    awk -v o="$1" '$1 ~ /^-/ { n = split($1, a, ","); for (i = 1; i <= n; i++) if (a[i] == o) { print; exit } }' <<<"$2"
}

# The option names of a help text.
_morvik_help_options()
{
    awk '$1 ~ /^-/ { n = split($1, a, ","); for (i = 1; i <= n; i++) if (a[i] ~ /^-/) print a[i] }' <<<"$1"
}

_morvik_cli()
{
    local cur prev words cword
    _init_completion || return

    local sub="" i
    for ((i = 1; i < cword; i++)); do
        [[ ${words[i]} == -* ]] || { sub=${words[i]}; break; }
    done
    if [[ -z $sub ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
        else
            local top
            top=$("${words[0]}" --help 2>/dev/null)
            COMPREPLY=($(compgen -W "$(sed -n '/^Subcommands:/,/^$/{/^  [a-z]/s/^ *\([^ ]*\).*/\1/p}' <<<"$top")" -- "$cur"))
        fi
        return
    fi

    local help
    help=$("${words[0]}" "$sub" --help 2>/dev/null)
    if [[ $prev == -* ]]; then
        local line
        line=$(_morvik_help_line "$prev" "$help")
        # "--preset TEXT:{standard,storage,...}": the values of the set.
        if [[ $line =~ \{([^}]*)\} ]]; then
            COMPREPLY=($(compgen -W "${BASH_REMATCH[1]//,/ }" -- "$cur"))
            return
        fi
        # An option that takes a value ("--quality INT"): a file for the chart's name, else nothing.
        if [[ $line =~ ^[[:space:]]*[^[:space:]]+\ [A-Z]+ ]]; then
            case $prev in
            -o | --output) _filedir '@(jpg|jpeg|JPG|JPEG)' ;;
            esac
            return
        fi
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_morvik_help_options "$help")" -- "$cur"))
        return
    fi
    case $sub in
    stamp) _filedir -d ;;
    info) _filedir '@(jpg|jpeg|jpe|tif|tiff|heic|heif|JPG|JPEG|JPE|TIF|TIFF|HEIC|HEIF)' ;;
    mosaic) _filedir '@(jpg|jpeg|JPG|JPEG)' ;;
    *) _filedir ;;
    esac
}
complete -F _morvik_cli morvik-cli

_morvik()
{
    local cur prev words cword
    _init_completion || return
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_morvik_help_options "$("${words[0]}" --help 2>/dev/null)")" -- "$cur"))
        return
    fi
    # A picture to open, or with --batch folders and pictures.
    _filedir '@(jpg|jpeg|jpe|heic|heif|JPG|JPEG|JPE|HEIC|HEIF)'
}
complete -F _morvik morvik
