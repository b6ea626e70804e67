#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file of the tree names the project's licence in its first
# lines (after a #! line): code, build files, scripts (the package's
# maintainer scripts too), udev rule, man pages.
# Usage: check-licence-lines.sh SOURCE_FOLDER
set -euo pipefail
cd "${1:?usage: $0 SOURCE_FOLDER}"
missing=0
while IFS= read -r -d '' file; do
  if ! head -n 3 "$file" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later'; then
    echo "no licence line: $file"
    missing=$((missing + 1))
  fi
done < <(find . \( -path ./.git -o -path './build*' -o -path ./fuzz/corpus \) -prune -o -type f \
           \( -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' -o -name '*.cmake' -o -name CMakeLists.txt \
              -o -name '*.rules' -o -name '*.1.in' -o -name 'version.rc.in' -o -path ./.ci/run \
              -o -path ./packaging/linux/postinst -o -path ./packaging/linux/postrm \) -print0)
[ "$missing" = 0 ] || { echo "$missing files without the licence line"; exit 1; }
grep -q 'GNU GENERAL PUBLIC LICENSE' LICENSE && grep -q 'Version 3, 29 June 2007' LICENSE ||
  { echo "LICENSE is not the GPL, version 3"; exit 1; }
echo "every source file names GPL-3.0-or-later; LICENSE holds its text"
