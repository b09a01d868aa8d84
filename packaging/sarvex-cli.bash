# bash completion for sarvex-cli: options, .cue files for sheets, .ccd files for the output,
# folders for --output-dir.
_sarvex_cli()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        -o | --output-dir)
            _filedir -d
            return
            ;;
        --subq-patch)
            _filedir '@(sbi|lsd)'
            return
            ;;
        -j | --jobs)
            COMPREPLY=($(compgen -W "0 1 2 4 8" -- "$cur"))
            return
            ;;
        --max-errors)
            COMPREPLY=($(compgen -W "20 100 1000" -- "$cur"))
            return
            ;;
        --help | --version)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--no-edc-ecc --force --keep-partial --quiet --layout --verify --to-cue --single-file
            --strict --max-errors --json --output-dir --jobs --fail-fast --subq-patch --no-subq-patch --no-cd-text --help --version' -- "$cur"))
        return
    fi

    # The second file argument of a single conversion may be the control file; --verify takes one;
    # --to-cue a control file, then the sheet to write.
    local i sheets=0 tocue=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --verify)
                _filedir ccd
                return
                ;;
            --to-cue) tocue=1 ;;
            -o | --output-dir | -j | --jobs | --subq-patch | --max-errors) ((i++)) ;;
            -*) ;;
            *) ((sheets++)) ;;
        esac
    done
    if ((tocue)); then
        ((sheets == 0)) && _filedir ccd || _filedir cue
    elif ((sheets == 1)); then
        _filedir '@(cue|ccd)'
    else
        _filedir cue
    fi
} && complete -F _sarvex_cli sarvex-cli
