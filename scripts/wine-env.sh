# Sourced: the Wine settings of the test prefix. MG_WINEPREFIX overrides its place.
MG_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${MG_WINEPREFIX:-$MG_ROOT/build/wine-test}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
