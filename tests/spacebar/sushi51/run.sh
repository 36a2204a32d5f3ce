#!/bin/sh
# Runs the Sushi 51 plug-in harness under Debian's gjs and GTK 4, in a folder of its own that
# is removed afterwards: run.sh API.gresource PLUGIN_FOLDER. Exit status 77 (skipped) without
# gjs or GTK 4's introspection data.
set -eu
if ! command -v gjs >/dev/null; then
    echo "SKIP: gjs is not installed (Debian: apt-get install gjs)"; exit 77
fi
if ! gjs -c "imports.gi.versions.Gtk = '4.0'; imports.gi.Gtk;" 2>/dev/null; then
    echo "SKIP: GTK 4's introspection data is not installed (Debian: apt-get install gir1.2-gtk-4.0)"; exit 77
fi
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/tmp" "$folder/cache" "$folder/config"
TMPDIR="$folder/tmp" XDG_CACHE_HOME="$folder/cache" XDG_CONFIG_HOME="$folder/config" \
    gjs -m "$(dirname "$0")/harness.js" "$1" "$2"
