# bash completion for brisel
_brisel() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        -o|--out) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --password-file) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --annotations|--document-data) COMPREPLY=($(compgen -W "keep drop" -- "$cur")); return ;;
        --zoom) COMPREPLY=($(compgen -W "fit width height keep none" -- "$cur")); return ;;
        --direction) COMPREPLY=($(compgen -W "r2l keep none" -- "$cur")); return ;;
        --layout) COMPREPLY=($(compgen -W "one left right single keep none" -- "$cur")); return ;;
        --mode) COMPREPLY=($(compgen -W "outlines outlines-or-thumbs thumbs fullscreen keep outlines-or-none none" -- "$cur")); return ;;
        --resources) COMPREPLY=($(compgen -W "prune keep" -- "$cur")); return ;;
        --bookmarks) COMPREPLY=($(compgen -W "keep flat none" -- "$cur")); return ;;
        --pages|--name|--warn-limit|--password|--options|--every|--parts) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--pages -o --out --name --same-date --no-sync --every --at-bookmarks --parts --yes --warn-limit --no-warn
            --password-file --password -q --quiet --verbose --json --annotations --document-data --resources --options --zoom
            --direction --layout --mode --bookmarks -h --help -V --version --" -- "$cur"))
        return
    fi
    # PDF files in any letter case, and folders on the way to them.
    local IFS=$'\n'
    COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.@(pdf|PDF|Pdf)' -- "$cur"))
}
complete -o filenames -F _brisel brisel
