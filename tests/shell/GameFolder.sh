# Sourced by the scripts that run the real program in the game folder (the
# working directory): a game folder of the script's own, and what they look
# at in it.

# A scratch game folder (the archive and the graphics linked, "game.ini"
# copied), entered; $game is the one it was made from. Removed at exit.
enter_game_folder() {
    [ -f Morvheld.dat ] || { echo "no Morvheld.dat in $(pwd)"; exit 2; }
    game=$(pwd)
    dir=$(mktemp -d) || exit 2
    trap 'rm -rf "$dir"' EXIT
    mkdir "$dir/Data" && ln -s "$game/Morvheld.dat" "$game/Graphics" "$dir/" &&
        cp "$game/Data/game.ini" "$dir/Data/" || exit 2
    cd "$dir" || exit 2
}
# Ends the script with what went wrong in the case $what, and what the
# program printed ($output, or out.log), logged and left in "Save".
fail() {
    echo "$what: $1"
    [ -z "$output" ] || printf '%s\n' "$output"
    [ -f out.log ] && cat out.log
    [ -f error.log ] && tr -d '\000\376\377' <error.log
    ls -lA Save
    exit 1
}
# error.log is UTF-16.
logged() { [ -f error.log ] && tr -d '\000\376\377' <error.log | grep -qF "$1"; }
fresh() { rm -rf Save error.log out.log && mkdir Save; }
# What the folder holds beside the lock file of the running game.
files() { LC_ALL=C ls -A Save | grep -vxF .morvheld.lock; }
