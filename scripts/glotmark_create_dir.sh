#!/bin/sh
# glotmark_create_dir.sh DIR: creates DIR and its parents.
# Exit status 0 when DIR exists afterwards, non-zero otherwise.
if [ "$#" -ne 1 ] || [ -z "$1" ]; then
  echo "usage: glotmark_create_dir.sh DIRECTORY" >&2
  exit 2
fi
mkdir -p -- "$1" 2>/dev/null
[ -d "$1" ]
