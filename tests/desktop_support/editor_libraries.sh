#!/usr/bin/env bash
# Installs the rich-text editor libraries the desktop tests drive (from the npm registry, into a
# folder of their own) and lays out the site they are served from on the loopback:
#   editor_libraries.sh FOLDER   -> FOLDER/site/{quill.html,quill.js,quill.core.css}
set -euo pipefail
folder="$1"
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$folder/site"
if [ ! -f "$folder/node_modules/quill/dist/quill.js" ]; then
  (cd "$folder" && npm install --no-audit --no-fund --silent quill@2.0.3 >/dev/null)
fi
cp "$folder/node_modules/quill/dist/quill.js" "$folder/node_modules/quill/dist/quill.core.css" \
  "$here/quill.html" "$folder/site/"
