#!/usr/bin/env bash
# The skin's images and its archive must come out byte for byte the same from the same
# sources, or every build ships a different installer: draw the art again into a scratch
# folder, pack it, and compare both with what the build made. Also, a file name found in two
# skin folders is refused rather than packed once.
set -u
src="$1" art="$2" zip="$3"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0

python3 "$src/tools/skin_art/make_skin_art.py" "$tmp/art" || { echo "drawing failed"; exit 1; }
python3 "$src/tools/make_skin_zip.py" "$src/skin" "$tmp/skin.zip" "$tmp/art" || { echo "packing failed"; exit 1; }

built=$(cd "$art" && ls *.png | sort)
again=$(cd "$tmp/art" && ls *.png | sort)
[ "$built" = "$again" ] || { echo "the two runs drew different sets of images"; fail=1; }
for name in $again; do
  cmp -s "$art/$name" "$tmp/art/$name" || { echo "$name differs between two runs"; fail=1; }
done
cmp -s "$zip" "$tmp/skin.zip" || { echo "the archive differs between two runs"; fail=1; }

mkdir "$tmp/clash"
cp "$src/skin/MessageBox.xml" "$tmp/clash/messagebox.XML"
if python3 "$src/tools/make_skin_zip.py" "$src/skin" "$tmp/clash.zip" "$tmp/clash" 2>/dev/null; then
  echo "a layout found in two folders was packed"; fail=1
fi

[ $fail = 0 ] && echo "ok: $(echo "$again" | wc -l) images and the archive are reproducible"
exit $fail
