# Sourced by the scripts first: with -h or --help among the arguments, prints the
# script's leading comment (its usage, options and what it does) and exits 0 before the
# script does any of its work.
for bta_arg in "$@"; do
  case $bta_arg in
    -h|--help)
      sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p;}' "$0"
      exit 0 ;;
  esac
done
unset bta_arg
