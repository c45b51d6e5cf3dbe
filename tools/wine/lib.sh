# Small helpers for the Wine scripts, tests and tools alike (source it; bash only).
#
#   qv_on_exit CMD [ARG...]      run CMD when the script ends, however it ends;
#                                commands run last-registered first
#   qv_wait_for PATH SEC [-s]    wait until PATH exists (file, link, pty),
#                                with -s until it is also not empty
#   qv_make_pty_pair DIR NAME    socat links two ptys: DIR/NAME-a, DIR/NAME-b;
#                                sets QV_PTY_A, QV_PTY_B (the /dev/pts paths)
#                                and QV_SOCAT_PID; socat is stopped on exit
#   winepath_of PATH             the Z: drive path Wine sees for a Unix path

if [ -z "${QV_LIB_LOADED:-}" ]; then
QV_LIB_LOADED=1
QV_EXIT_HOOKS=()

qv_run_exit_hooks() {
  local rc=$? i
  set +e
  for ((i = ${#QV_EXIT_HOOKS[@]} - 1; i >= 0; i--)); do
    eval "${QV_EXIT_HOOKS[$i]}"
  done
  QV_EXIT_HOOKS=()
  return "$rc"
}
trap qv_run_exit_hooks EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# One argument is a command line, run as written ("kill $pid 2>/dev/null");
# several are one command and its words, each kept whole: a device id holds
# '&', which eval would otherwise take for "run in the background".
qv_on_exit() {
  if (($# == 1)); then
    QV_EXIT_HOOKS+=("$1")
  else
    QV_EXIT_HOOKS+=("$(printf '%q ' "$@")")
  fi
}

qv_wait_for() {
  local path=$1 limit=${2:-10} op=${3:--e} end
  end=$((SECONDS + limit))
  until test "$op" "$path"; do
    ((SECONDS < end)) || return 1
    sleep 0.05
  done
}

qv_make_pty_pair() {
  local dir=$1 name=$2
  rm -f "$dir/$name-a" "$dir/$name-b"
  socat pty,raw,echo=0,link="$dir/$name-a" pty,raw,echo=0,link="$dir/$name-b" \
    </dev/null >/dev/null 2>&1 &
  QV_SOCAT_PID=$!
  qv_on_exit "kill $QV_SOCAT_PID 2>/dev/null; wait $QV_SOCAT_PID 2>/dev/null"
  if ! qv_wait_for "$dir/$name-a" 10 || ! qv_wait_for "$dir/$name-b" 10; then
    echo "lib.sh: socat made no pty pair in $dir" >&2
    return 1
  fi
  QV_PTY_A=$(readlink -f "$dir/$name-a")
  QV_PTY_B=$(readlink -f "$dir/$name-b")
}

winepath_of() {
  local p
  p=$(readlink -f "$1")
  printf 'Z:%s' "${p//\//\\}"
}
fi
