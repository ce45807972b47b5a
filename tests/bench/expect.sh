# Sourced by the benchmark's script tests: a scratch folder removed on exit,
# a failure count, and expect NAME OUTPUT LINE (LINE appears whole in OUTPUT).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {
  if ! grep -qxF -- "$3" <<<"$2"; then
    echo "FAIL $1: no line '$3' in:"; echo "$2"; failures=$((failures + 1))
  fi
}
