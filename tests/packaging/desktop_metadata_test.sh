#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed desktop entry and AppStream metadata: valid by the
# freedesktop.org and AppStream validators (warnings count as failures), every
# media type known to shared-mime-info (an unknown one silently offers
# nothing), the program and the icon they name installed, and the newest
# release of the metadata and of the package history at the project's version.
set -euo pipefail
prefix=$1 app_id=$2 version=$3
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing: run scripts/setup.sh" >&2; exit 1; }
done

desktop=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
[ -f "$desktop" ] || { echo "FAIL: $desktop is not installed" >&2; exit 1; }
[ -f "$metainfo" ] || { echo "FAIL: $metainfo is not installed" >&2; exit 1; }

report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"

mime=/usr/share/mime
types=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' ')
for type in application/x-cd-image application/x-iso9660-image inode/directory; do
  grep -qw -- "$type" <<<"$types" || fail "MimeType lacks $type"
done
for type in $types; do
  [ -f "$mime/$type.xml" ] || grep -q "^$type " "$mime/aliases" || fail "shared-mime-info does not know $type"
done

program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$program" ] || fail "Exec names $program, which is not installed"
grep -qE '^Exec=[^ ]+ %F$' "$desktop" || fail "Exec does not take files and folders (%F)"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ "$icon" = "$app_id" ] || fail "Icon=$icon, not the entry's name $app_id"
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the icon $icon is not installed"
grep -q '^GenericName\[it\]=' "$desktop" || fail "no Italian GenericName"
grep -q '^Comment\[it\]=' "$desktop" || fail "no Italian Comment"

report=$(appstreamcli validate --no-net --explain "$metainfo" 2>&1) || fail "appstreamcli validate: $report"
grep -qE '^[EW]:' <<<"$report" && fail "appstreamcli validate: $report"
# The component's id and launchable name the installed desktop entry.
grep -q "<id>$app_id</id>" "$metainfo" || fail "the metadata's id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" \
  || fail "the metadata does not launch $app_id.desktop"
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d '"' -f 2)
[ "$newest" = "$version" ] || fail "the metadata's newest release is $newest, the project is $version"
changelog=$(zcat "$prefix/share/doc/iradudo/changelog.gz" | head -n 1 | sed -n 's/^iradudo (\([^)]*\)).*/\1/p')
[ "$changelog" = "$version" ] || fail "the package history's newest entry is '$changelog', the project is $version"

[ "$failures" -eq 0 ] || exit 1
echo "desktop entry and metadata: all checks passed"
