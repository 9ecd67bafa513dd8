#!/usr/bin/env bash
# The program's own code reaches the toolkit, GLib, GStreamer, cairo, pango and the sound
# server only through platform/ and media/. This lists every file elsewhere that includes
# one of their headers, and fails when there is one.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$root"
pattern='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](gtk/|gdk/|gdk-pixbuf/|glib|gio/|gobject/|gst/|cairo|pango|pulse/|atk/|X11/)'
offenders=$(git ls-files --cached --others --exclude-standard -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' |
  grep -v -E '^(platform|media)/' |
  while read -r file; do
    [ -f "$file" ] && grep -l -E "$pattern" "$file" || true
  done)
if [ -n "$offenders" ]; then
  echo "These files include toolkit or media headers outside platform/ and media/:"
  echo "$offenders" | while read -r f; do grep -n -E "$pattern" "$f" | sed "s|^|  $f:|"; done
  exit 1
fi
echo "Only platform/ and media/ include toolkit and media headers."
