# bash completion for brisel
_brisel() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        -o|--out) _brisel_files -d; return ;;
        --password-file) _brisel_files -f; return ;;
        --annotations|--document-data) COMPREPLY=($(compgen -W "keep drop" -- "$cur")); return ;;
        --zoom) COMPREPLY=($(compgen -W "fit width height keep none" -- "$cur")); return ;;
        --direction) COMPREPLY=($(compgen -W "r2l keep none" -- "$cur")); return ;;
        --layout) COMPREPLY=($(compgen -W "one left right single keep none" -- "$cur")); return ;;
        --mode) COMPREPLY=($(compgen -W "outlines outlines-or-thumbs thumbs fullscreen keep outlines-or-none none" -- "$cur")); return ;;
        --resources) COMPREPLY=($(compgen -W "prune keep" -- "$cur")); return ;;
        --streams) COMPREPLY=($(compgen -W "compress keep" -- "$cur")); return ;;
        --bookmarks) COMPREPLY=($(compgen -W "keep flat none" -- "$cur")); return ;;
        --if-exists) COMPREPLY=($(compgen -W "rename replace skip fail" -- "$cur")); return ;;
        --pages|--name|--warn-limit|--password|--options|--every|--parts|--max-size) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--pages -o --out --name --if-exists --dry-run --same-date --no-sync --every --at-bookmarks
            --parts --max-size --yes --warn-limit --no-warn --password-file --password -q --quiet --verbose --json
            --annotations --document-data --resources --streams --options --zoom --direction --layout --mode --bookmarks -h --help
            -V --version --" -- "$cur"))
        return
    fi
    _brisel_files -p
}

# Names for the word being completed, as the file system holds them: -d
# folders, -f files, -p folders and PDF files in any letter case. The word
# is taken without its quoting ("my\ fi", 'my fi), so that names with
# spaces complete; no shell option (extglob, nocaseglob) is needed.
_brisel_files() {
    local word=${COMP_WORDS[COMP_CWORD]} name lower
    case $word in
        \'*) word=${word#\'} ;;
        \"*) word=${word#\"} ;;
        *) word=$(printf '%s' "$word" | sed 's/\\\(.\)/\1/g') ;;
    esac
    COMPREPLY=()
    local IFS=$'\n'
    for name in $(compgen -d -- "$word"); do
        COMPREPLY+=("$name")
    done
    [[ $1 == -d ]] && return
    for name in $(compgen -f -- "$word"); do
        [[ -d $name ]] && continue
        lower=$(printf '%s' "$name" | tr '[:upper:]' '[:lower:]')
        [[ $1 == -f || $lower == *.pdf ]] && COMPREPLY+=("$name")
    done
}
complete -o filenames -F _brisel brisel
