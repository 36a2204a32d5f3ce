# Sourced by the fake converters: sets $out to the file a converter was asked to write
# (the item after "-o", or the value of "-sOutputFile=") and $in to the last argument.
out=
in=
previous=
for argument in "$@"; do
    case $argument in
        -sOutputFile=*) out=${argument#-sOutputFile=} ;;
    esac
    if [ "$previous" = "-o" ]; then out=$argument; fi
    previous=$argument
    in=$argument
done
