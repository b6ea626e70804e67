# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced: exports SOURCE_DATE_EPOCH, the time the build stands for, unless
# it is set already: in an unpacked source tarball the time recorded in its
# file .source-date-epoch (even where the tarball lies inside another git
# repository), otherwise the checked-out commit's time.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if [ -f .source-date-epoch ]; then
    SOURCE_DATE_EPOCH=$(cat .source-date-epoch)
  elif git rev-parse --git-dir >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  else
    echo "cannot tell the source's date: no git checkout and no .source-date-epoch" >&2
    return 1
  fi
  export SOURCE_DATE_EPOCH
fi
