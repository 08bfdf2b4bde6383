#!/bin/sh
# on_tmpfs.sh <size> <inodes> <program> [args...]: runs the program with ZOLVEN_TMPFS naming a
# fresh tmpfs of that size and inode count, mounted in a private mount namespace so that
# nothing outside sees it. Skips (77) where no namespace or mount can be had: not root, or a
# container without the rights.
size=$1 inodes=$2
shift 2
command -v unshare >/dev/null 2>&1 || { echo "SKIP: no unshare"; exit 77; }
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: mounting a tmpfs needs root"; exit 77; fi
unshare -m --propagation private true 2>/dev/null || { echo "SKIP: no mount namespace"; exit 77; }
exec unshare -m --propagation private sh -c '
    dir=$(mktemp -d) || exit 1
    mount -t tmpfs -o "size=$1,nr_inodes=$2,mode=0755" zolven-full "$dir" || { echo "SKIP: cannot mount a tmpfs"; exit 77; }
    shift 2
    ZOLVEN_TMPFS=$dir "$@"
    code=$?
    umount "$dir"; rmdir "$dir"
    exit $code' sh "$size" "$inodes" "$@"
