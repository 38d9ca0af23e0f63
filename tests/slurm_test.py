#!/usr/bin/env python3
"""The tools guide's Slurm recipes (docs/tools.md), run as written on a private one-node
cluster.

munged, slurmctld and slurmd run in the foreground, each in a process group of its own, with a
key and a configuration written into a temporary folder; nothing of the machine's /etc/slurm or
/etc/munge is read. The recipes are taken from the guide's text, and only the folder, --size,
the chunk length, the array's range and the job ids are put in; every frame is compared byte for
byte with one capture of the same range.

usage: slurm_test.py TOOLS_MD DEMO_DIR KESTRINE_CAPTURE
Exits 77 (skipped) when not run as root: slurmd must be.
"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SIZE = "64x36"
PUBLISHING = "--supersample 2 --motion-blur 3"  # the options of the publishing case
DEADLINE = 120  # seconds for any one awaited state, far above what a busy machine needs
MARK = "KESTRINE_SLURM_TEST"  # in the environment of every process the cluster starts
DONE = {"COMPLETED"}
FAILED = {"FAILED", "CANCELLED", "TIMEOUT", "NODE_FAIL", "OUT_OF_MEMORY", "BOOT_FAIL",
          "DEADLINE", "PREEMPTED"}


class Failure(Exception):
    pass


def wait_for(what, probe, deadline=DEADLINE, every=0.05):
    """probe() until it returns something true; its value, or a Failure naming what."""
    end = time.monotonic() + deadline
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure(f"waited {deadline} s for {what}")
        time.sleep(every)


def elapsed(begun=time.monotonic()):
    return f"{time.monotonic() - begun:.1f} s"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# --- The guide's recipes ----------------------------------------------------------------------

def guide_recipes(path):
    blocks = re.findall(r"```[a-z]*\n(.*?)```", open(path, encoding="utf-8").read(), re.S)

    def one(what, test):
        found = [b for b in blocks if test(b)]
        if len(found) != 1:
            raise Failure(f"{path}: {len(found)} code blocks look like the {what}, not one")
        return found[0]

    return {
        "array": one("array job", lambda b: "#SBATCH --array" in b),
        "join": one("join job", lambda b: "--dependency=afterok:" in b),
        "rest": one("resubmission", lambda b: b.startswith("sbatch") and "--frames" in b
                    and "--dependency" not in b),
        "retarget": one("join's new dependency", lambda b: b.startswith("scontrol update")),
    }


def put_in(text, pattern, value):
    """Every match of pattern replaced; a recipe without one has drifted from this test."""
    out, n = re.subn(pattern, value, text)
    if n == 0:
        raise Failure(f"the guide's recipe no longer matches {pattern!r}:\n{text}")
    return out


def in_folder(text, folder):
    return put_in(text, r"/shared/demo\b", folder)


def for_folder(text, folder):
    return put_in(in_folder(text, folder), r"--size \d+x\d+", f"--size {SIZE}")


def array_script(recipe, folder, tasks, chunk):
    text = put_in(for_folder(recipe, folder), r"--array=\S+", f"--array={tasks}")
    text = put_in(text, r"\* 300\)", f"* {chunk})")
    return put_in(text, r"\+ 299\)", f"+ {chunk - 1})")


# --- The cluster ------------------------------------------------------------------------------

class Cluster:
    def __init__(self, root):
        self.root = root
        self.daemons = []
        # The jobs draw through EGL, as on a render node without an X server.
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("SLURM_", "SBATCH_", "SQUEUE_"))
                    and k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        self.env["SLURM_CONF"] = os.path.join(root, "slurm.conf")
        self.env[MARK] = root

    def start(self, capture):
        root = self.root
        # munged wants every folder above its socket open to all, and its key private.
        os.chmod(root, 0o755)
        for d in ("state", "spool", "bin"):
            os.mkdir(os.path.join(root, d))
        os.symlink(capture, os.path.join(root, "bin", "kestrine-capture"))
        self.env["PATH"] = os.path.join(root, "bin") + ":" + self.env.get("PATH", "/usr/bin")
        key = os.path.join(root, "munge.key")
        with open(os.open(key, os.O_WRONLY | os.O_CREAT, 0o400), "wb") as f:
            f.write(os.urandom(1024))
        sock = os.path.join(root, "munge.socket")
        host = socket.gethostname().split(".")[0]
        with open(self.env["SLURM_CONF"], "w") as f:
            f.write(f"""ClusterName=kestrinetest
SlurmctldHost={host}(127.0.0.1)
SlurmctldPort={free_port()}
SlurmdPort={free_port()}
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket={sock}
CredType=cred/munge
StateSaveLocation={root}/state
SlurmdSpoolDir={root}/spool
SlurmctldPidFile={root}/slurmctld.pid
SlurmdPidFile={root}/slurmd.pid
SlurmctldLogFile={root}/slurmctld.log
SlurmdLogFile={root}/slurmd.log
MailProg=/bin/true
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerType=sched/builtin
# Jobs whose dependency has just been met start within a second, not a minute.
SchedulerParameters=sched_interval=1
MpiDefault=none
SwitchType=switch/none
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
ReturnToService=2
MinJobAge=3600
SlurmdParameters=config_overrides
NodeName={host} NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
""")
        self.spawn("munged", "munged", "--foreground", f"--key-file={key}", f"--socket={sock}",
                   f"--pid-file={root}/munged.pid", f"--log-file={root}/munged.log",
                   f"--seed-file={root}/munged.seed")
        self.await_daemon("munged to answer", lambda: self.ok("munge", "-n", f"--socket={sock}"))
        self.spawn("slurmctld", "slurmctld", "-D")
        self.await_daemon("slurmctld to answer", lambda: "is UP" in self.out("scontrol", "ping"))
        self.spawn("slurmd", "slurmd", "-D", "-N", host)
        self.await_daemon("the node to be idle",
                          lambda: self.out("sinfo", "-h", "-N", "-o", "%t").strip() == "idle")

    def spawn(self, name, *argv):
        log = open(os.path.join(self.root, name + ".out"), "w")
        p = subprocess.Popen(argv, env=self.env, stdin=subprocess.DEVNULL, stdout=log,
                             stderr=subprocess.STDOUT, start_new_session=True)
        self.daemons.append((name, p))

    def await_daemon(self, what, probe):
        def up():
            for name, p in self.daemons:
                if p.poll() is not None:
                    raise Failure(f"{name} ended with status {p.returncode}")
            return probe()
        wait_for(what, up)

    def run(self, *argv, shell=None, cwd=None, timeout=DEADLINE):
        return subprocess.run(argv if shell is None else ["bash", "-c", shell], env=self.env,
                              cwd=cwd or self.root, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=timeout)

    def ok(self, *argv):
        return self.run(*argv).returncode == 0

    def out(self, *argv):
        return self.run(*argv).stdout

    def submit(self, *argv, shell=None, cwd=None):
        r = self.run(*argv, shell=shell, cwd=cwd)
        m = re.search(r"Submitted batch job (\d+)", r.stdout)
        if r.returncode != 0 or not m:
            raise Failure(f"{shell or argv}: status {r.returncode}\n{r.stdout}{r.stderr}")
        return m.group(1)

    def jobs(self, job):
        """{array task id or None: (job id, state, reason, dependency)} of a job."""
        found = {}
        for line in self.out("scontrol", "-o", "show", "job", job).splitlines():
            f = dict(re.findall(r"(\w+)=(\S*)", line))
            found[f.get("ArrayTaskId")] = (f["JobId"], f["JobState"], f.get("Reason"),
                                           f.get("Dependency"))
        return found

    def await_states(self, job, states, count=1):
        def reached():
            now = self.jobs(job)
            bad = {k: v for k, v in now.items() if v[1] in FAILED - states}
            if bad:
                raise Failure(f"job {job}: {bad}\n{self.logs()}")
            return len(now) == count and all(v[1] in states for v in now.values()) and now
        return wait_for(f"job {job} to be {'/'.join(states)}", reached)

    def logs(self):
        text = ""
        for name in ("slurmctld.log", "slurmd.log"):
            path = os.path.join(self.root, name)
            if os.path.exists(path):
                text += f"--- {name} (end)\n" + "".join(open(path).readlines()[-15:])
        return text

    def stop(self):
        if any(p.poll() is None for name, p in self.daemons if name == "slurmctld"):
            try:
                self.run("scancel", "--user=root", timeout=10)
            except subprocess.TimeoutExpired:
                pass
        for _, p in reversed(self.daemons):
            if p.poll() is None:
                os.killpg(p.pid, signal.SIGTERM)
        end = time.monotonic() + 10
        for _, p in reversed(self.daemons):
            try:
                p.wait(timeout=max(0.1, end - time.monotonic()))
            except subprocess.TimeoutExpired:
                pass
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            p.wait()
        # slurmstepd and the jobs leave slurmd's session; the mark in their environment finds
        # those of this cluster, and a few rounds those forked meanwhile.
        for _ in range(10):
            pids = marked_processes(self.root)
            if not pids:
                break
            for pid in pids:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            time.sleep(0.1)


def marked_processes(root):
    mark = f"{MARK}={root}".encode()
    pids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit() and int(entry) != os.getpid():
            try:
                with open(f"/proc/{entry}/environ", "rb") as f:
                    if mark in f.read().split(b"\0"):
                        pids.append(int(entry))
            except OSError:
                pass
    return pids


# --- Frames -----------------------------------------------------------------------------------

def frame_name(k):
    return f"frame_{k:06d}.png"


def same_frames(folder, reference, first, last):
    """Exactly frames first..last, each byte for byte the reference's."""
    want = {frame_name(k) for k in range(first, last + 1)}
    have = set(os.listdir(folder))
    if have != want:
        raise Failure(f"{folder}: extra {sorted(have - want)[:5]}, "
                      f"missing {sorted(want - have)[:5]}")
    for name in sorted(want):
        with open(os.path.join(folder, name), "rb") as a, \
                open(os.path.join(reference, name), "rb") as b:
            if a.read() != b.read():
                raise Failure(f"{folder}/{name} differs from the single capture's")


def video_frames(path):
    r = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                        "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", path],
                       capture_output=True, text=True, timeout=DEADLINE)
    return int(r.stdout.strip() or -1)


def task_log(folder, job, task):
    path = os.path.join(folder, f"slurm-{job}_{task}.out")
    return open(path, errors="replace").read() if os.path.exists(path) else ""


def copy_demo(demo, folder):
    shutil.copytree(demo, folder, ignore=shutil.ignore_patterns("tools", "make-assets",
                                                                "take-screenshots"))
    return folder


# --- The test ---------------------------------------------------------------------------------

def array_and_join(c, recipes, folder, reference):
    """The array in chunks of 4, one chunk past the demo's end, then the join."""
    with open(os.path.join(folder, "capture.sh"), "w") as f:
        f.write(array_script(recipes["array"], folder, "0-2,1000", 4))
    array = c.submit("sbatch", "capture.sh", cwd=folder)
    join = c.submit(shell=put_in(in_folder(recipes["join"], folder), "<array job id>", array))
    c.await_states(array, DONE, count=4)
    c.await_states(join, DONE)
    same_frames(os.path.join(folder, "frames"), reference, 0, 11)
    if "nothing captured" not in task_log(folder, array, 1000):
        raise Failure("the chunk past the end did not say it captured nothing:\n"
                      + task_log(folder, array, 1000))
    if video_frames(os.path.join(folder, "demo.mp4")) != 12:
        raise Failure("the joined video does not hold the 12 frames")
    print(f"slurm: {elapsed()}: array {array} (4 tasks) and join {join}: frames 0-11 as one "
          "capture's")


def publishing_array_and_join(c, recipes, folder, reference):
    """The array and join again, each chunk supersampled and motion-blurred."""
    script = array_script(recipes["array"], folder, "0-1", 3)
    with open(os.path.join(folder, "capture.sh"), "w") as f:
        f.write(put_in(script, r"--frames ", PUBLISHING + " --frames "))
    array = c.submit("sbatch", "capture.sh", cwd=folder)
    join = c.submit(shell=put_in(in_folder(recipes["join"], folder), "<array job id>", array))
    c.await_states(array, DONE, count=2)
    c.await_states(join, DONE)
    same_frames(os.path.join(folder, "frames"), reference, 0, 5)
    if video_frames(os.path.join(folder, "demo.mp4")) != 6:
        raise Failure("the joined video does not hold the 6 frames")
    print(f"slurm: {elapsed()}: array {array} and join {join} with {PUBLISHING}: frames 0-5 as "
          "one capture's")


def cancel_and_resume(c, recipes, folder, reference):
    """Task 1 of two chunks of 30 cancelled mid-chunk, its rest resubmitted, the join retargeted."""
    with open(os.path.join(folder, "capture.sh"), "w") as f:
        f.write(array_script(recipes["array"], folder, "0-1", 30))
    array = c.submit("sbatch", "capture.sh", cwd=folder)
    join = c.submit(shell=put_in(in_folder(recipes["join"], folder), "<array job id>", array))

    # The task is held still (SIGSTOP) once its log shows two frames, so that the cancel lands
    # mid-chunk however fast it draws; scancel sends SIGCONT before SIGTERM.
    def running_task():
        now = c.jobs(array).get("1")
        return now and now[1] == "RUNNING" and now[0]
    task = wait_for("task 1 to run", running_task)

    def capture_pid():
        for line in c.out("scontrol", "listpids", task).splitlines()[1:]:
            pid = line.split()[0]
            try:
                argv = open(f"/proc/{pid}/cmdline", "rb").read().split(b"\0")
                env = open(f"/proc/{pid}/environ", "rb").read().split(b"\0")
            except OSError:
                continue
            # linuxproc's list can hold processes that are not the job's: a capture of another
            # test was once held still here. Only this task's own capture will do.
            mine = f"SLURM_ARRAY_JOB_ID={array}".encode() in env and b"SLURM_ARRAY_TASK_ID=1" in env
            if argv[0].endswith(b"kestrine-capture") and mine:
                return int(pid)
    pid = wait_for("task 1's capture to start", capture_pid)
    wait_for("task 1 to draw frame 31", lambda: max(
        [int(k) for k in re.findall(r"frame (\d+)/59", task_log(folder, array, 1))] + [0]) >= 31,
             every=0.01)
    os.kill(pid, signal.SIGSTOP)
    r = c.run("scancel", f"{array}_1")
    if r.returncode != 0:
        raise Failure(f"scancel: {r.stderr}")
    def where_to_go_on():
        log = task_log(folder, array, 1)
        if "captured" in log:
            raise Failure(f"task 1 ended before the cancel reached it:\n{log}")
        return re.search(r"go on with --frames (\d+):59\n", log)
    said = wait_for("task 1 to say where to go on", where_to_go_on)
    c.await_states(array, DONE | {"CANCELLED"}, count=2)
    states = {k: v[1] for k, v in c.jobs(array).items()}
    if states != {"0": "COMPLETED", "1": "CANCELLED"}:
        raise Failure(f"array {array} ended {states}")
    go_on = int(said.group(1))
    if not 32 <= go_on <= 59:
        raise Failure(f"task 1 stopped at frame {go_on}, not mid-chunk")
    frames = os.path.join(folder, "frames")
    same_frames(frames, reference, 0, go_on - 1)
    wait_for("the join to wait for good", lambda: c.jobs(join)[None][1:3] == (
        "PENDING", "DependencyNeverSatisfied"))

    rest = c.submit(shell=put_in(for_folder(recipes["rest"], folder), r"--frames \d+:\d+",
                                 f"--frames {go_on}:59"))
    retarget = put_in(put_in(recipes["retarget"], "<join job id>", join), "<rest job id>", rest)
    r = c.run(shell=retarget)
    if r.returncode != 0:
        raise Failure(f"{retarget}: {r.stdout}{r.stderr}")
    c.await_states(rest, DONE)
    c.await_states(join, DONE)
    same_frames(frames, reference, 0, 59)
    if video_frames(os.path.join(folder, "demo.mp4")) != 60:
        raise Failure("the joined video does not hold the 60 frames")
    print(f"slurm: {elapsed()}: task {array}_1 cancelled at frame {go_on}, resumed as job {rest}: "
          "frames 0-59 whole and as one capture's; the join retargeted ran")


def out_of_time(*_):
    raise Failure("the test ran for 400 s")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    guide, demo, capture = (os.path.abspath(a) for a in sys.argv[1:])
    if os.geteuid() != 0:
        print("slurm: skipped: slurmd needs root, and this test does not run as root")
        return 77
    for program in ("munged", "slurmctld", "slurmd", "sbatch", "ffprobe"):
        if not shutil.which(program):
            print(f"slurm: {program} is missing (scripts/test installs slurm-wlm, munge, ffmpeg)")
            return 1
    root = tempfile.mkdtemp(prefix="kestrine-slurm-")
    cluster = Cluster(root)
    reference = None
    keep = False
    # Ctrl+C and kill still take the cluster down.
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda s, _: sys.exit(128 + s))
    # Ends well before ctest's timeout, whose kill would leave the jobs' processes behind.
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(400)
    try:
        recipes = guide_recipes(guide)
        # One capture of frames 0-59, drawn while the cluster starts.
        copy_demo(demo, os.path.join(root, "one"))
        reference = subprocess.Popen(
            [capture, "demo.xml", "--out", "frames", "--size", SIZE, "--fps", "60",
             "--frames", "0:59"], cwd=os.path.join(root, "one"), env=cluster.env,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
            start_new_session=True)
        copy_demo(demo, os.path.join(root, "two"))
        publishing = subprocess.run(
            [capture, "demo.xml", "--out", "frames", "--size", SIZE, "--fps", "60",
             "--frames", "0:5", *PUBLISHING.split()], cwd=os.path.join(root, "two"),
            env=cluster.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE, timeout=DEADLINE)
        if publishing.returncode != 0:
            raise Failure(f"the single capture with {PUBLISHING} failed:\n"
                          f"{publishing.stderr.decode(errors='replace')}")
        cluster.start(capture)
        print(f"slurm: {elapsed()}: the cluster is up")
        _, err = reference.communicate(timeout=DEADLINE * 2)
        if reference.returncode != 0:
            raise Failure(f"the single capture failed:\n{err.decode(errors='replace')}")
        frames = os.path.join(root, "one", "frames")
        array_and_join(cluster, recipes, copy_demo(demo, os.path.join(root, "a")), frames)
        publishing_array_and_join(cluster, recipes, copy_demo(demo, os.path.join(root, "c")),
                                  os.path.join(root, "two", "frames"))
        cancel_and_resume(cluster, recipes, copy_demo(demo, os.path.join(root, "b")), frames)
    except (Failure, subprocess.TimeoutExpired) as e:
        print(f"slurm: {e}\n{cluster.logs()}(files kept in {root})")
        keep = True
        return 1
    finally:
        signal.alarm(0)
        if reference is not None and reference.poll() is None:
            os.killpg(reference.pid, signal.SIGKILL)
            reference.wait()
        cluster.stop()
        if not keep:
            shutil.rmtree(root, ignore_errors=True)
    print("slurm: the guide's array, join, resubmission and retargeted join ran as written")
    return 0

if __name__ == "__main__":
    sys.exit(main())
