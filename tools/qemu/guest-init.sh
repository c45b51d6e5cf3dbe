#!/bin/sh
# /init of the real-kernel guest (tools/qemu/guest.py builds the initramfs
# around it). It loads the USB serial drivers, waits for the two FTDI ports
# and the 16550, and then serves the host on the console: each line the host
# writes is a shell command, run here; what it prints is framed by markers
# the host reads back (qv_run, qv_bg, qv_stop below).
/bin/busybox --install -s /bin
export PATH=/bin:/sbin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
# devtmpfs: the kernel itself makes and removes /dev/ttyUSBn as adapters come
# and go; there is no udev in here.
mount -t devtmpfs devtmpfs /dev
mkdir -p /tmp /dev/pts
mount -t tmpfs tmpfs /tmp
# Kernel messages would cut into the host's framed lines.
echo 1 > /proc/sys/kernel/printk

# In dependency order, written by the builder from modules.dep.
while read -r module; do
  insmod "/modules/$module" || echo "@@FAIL insmod $module"
done < /modules/order

# The console answers the host; its echo would come back as output.
stty -echo

waited=0
while [ ! -e /dev/ttyUSB0 ] || [ ! -e /dev/ttyUSB1 ]; do
  sleep 0.1
  waited=$((waited + 1))
  [ $waited -lt 150 ] || { echo "@@FAIL no ttyUSB0 and ttyUSB1 after 15 s"; break; }
done

# qv_run ID CMD...: runs CMD, then prints its output and exit code, framed.
qv_run() {
  id=$1; shift
  "$@" > "/tmp/$id.out" 2>&1
  rc=$?
  echo "@@OUT $id"
  cat "/tmp/$id.out"
  echo "@@END $id $rc"
}

# qv_bg ID CMD...: starts CMD; each line it prints comes to the host at once
# as "@@LIVE ID line" (watch, a provision the host pulls an adapter under).
qv_bg() {
  id=$1; shift
  mkfifo "/tmp/$id.fifo"
  (while IFS= read -r l; do echo "@@LIVE $id $l"; done < "/tmp/$id.fifo") &
  "$@" > "/tmp/$id.fifo" 2>&1 &
  echo $! > "/tmp/$id.pid"
  echo "@@END $id started"
}

# qv_stop ID [SIGNAL]: signals a qv_bg command (or lets it finish, with
# "none") and prints its exit code.
qv_stop() {
  pid=$(cat "/tmp/$1.pid")
  [ "${2:-INT}" = none ] || kill -"${2:-INT}" "$pid"
  wait "$pid"
  echo "@@END $1 $?"
}

echo "@@READY $(uname -r)"
while IFS= read -r line; do
  eval "$line"
done
poweroff -f
