#!/usr/bin/env bash
# Installs the rich-text editor libraries the desktop tests drive (from the npm registry, into a
# folder of their own) and lays out the site they are served from on the loopback:
#   editor_libraries.sh FOLDER   -> FOLDER/site/{quill,prosemirror,trix}.html and what they load
set -euo pipefail
folder="$1"
here="$(cd "$(dirname "$0")" && pwd)"
packages=(quill@2.0.3 trix@2.1.19 orderedmap@2.1.1 w3c-keyname@2.2.8 prosemirror-model@1.25.13
  prosemirror-transform@1.12.7 prosemirror-state@1.4.4 prosemirror-view@1.44.0
  prosemirror-keymap@1.2.3 prosemirror-commands@1.7.2 prosemirror-schema-basic@1.2.5
  prosemirror-schema-list@1.6.1)
mkdir -p "$folder/site/modules"
modules="$folder/node_modules"
if [ ! -f "$modules/prosemirror-schema-list/dist/index.js" ] ||
  [ ! -f "$modules/trix/dist/trix.umd.min.js" ]; then
  (cd "$folder" && npm install --no-audit --no-fund --silent "${packages[@]}" >/dev/null)
fi
cp "$modules/quill/dist/quill.js" "$modules/quill/dist/quill.core.css" \
  "$modules/trix/dist/trix.umd.min.js" "$modules/trix/dist/trix.css" \
  "$modules/prosemirror-view/style/prosemirror.css" \
  "$here/quill.html" "$here/prosemirror.html" "$here/trix.html" "$folder/site/"
# ProseMirror comes as ES modules that import each other by package name: the page's import map
# names these files.
for package in orderedmap prosemirror-model prosemirror-transform prosemirror-state \
  prosemirror-view prosemirror-keymap prosemirror-commands prosemirror-schema-basic \
  prosemirror-schema-list; do
  cp "$modules/$package/dist/index.js" "$folder/site/modules/$package.js"
done
cp "$modules/w3c-keyname/index.js" "$folder/site/modules/w3c-keyname.js"
