"""quorvane-device started for a Python test: on a new pty (with `linked`,
also reachable through the symlink `link`), its pty path read once it
serves, stopped by its PID when the test ends, also on failure."""
import shutil, signal, subprocess, tempfile


class DeviceProcess:
    def __init__(self, test, device, prefix, options, linked=False):
        self.dir = tempfile.mkdtemp(prefix=prefix)
        test.addCleanup(shutil.rmtree, self.dir, True)
        self.log = self.dir + "/frames"
        self.link = self.dir + "/dev"
        linking = ["--link", self.link] if linked else []
        self.proc = subprocess.Popen([device, *linking, "--frames-log", self.log, "--quiet", *options],
                                     stdout=subprocess.PIPE)
        test.addCleanup(self.stop)
        self.path = self.proc.stdout.readline().decode().strip()   # the device is serving

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            self.proc.wait(5)
        self.proc.stdout.close()
