#!/usr/bin/env python3
"""Whole-run benchmark of redivez against the fastest peer tool, cone by cone.

Usage: bench/time_runs.sh [OPTIONS]          (the entry point; it runs this script)

For each cone it alternates runs of redivez and of one peer (redivez, peer, redivez, peer, ...),
and prints the median wall seconds, the peak resident memory (max over the runs) and the ratios
redivez / peer of both; at the end the geometric mean and the worst of the time ratios over the
cones where both finished, and for the generated families of several sizes m the exponent e of
times growing as m^e (from the smallest to the largest size run). Every result of redivez is
checked against the known extreme rays (the reference NAME.rays / NAME.rays.gz, canonicalised
with ddbench.py canon; for generated cones the rays known in closed form or by construction,
which the peer must reproduce too) and a mismatch is reported on lines starting with '!!!'
(exit status 1). This is a benchmark: it prints figures and judges nothing but the ray sets.

Peers: nmz (normaliz, one thread; -x=N for the N-thread runs of --parallel), lrs (lrslib), cdd
(libcdd-tools), 4ti2 (4ti2-rays), fed through the encodings of shared/tools/ddbench.py, with
OMP_WAIT_POLICY=PASSIVE unless it is set. When one is missing, time_runs.sh installs them
(apt-get install -y normaliz lrslib libcdd-tools 4ti2) if it runs as root, else it stops.

Cones: by default every cone of the cones folder that has a reference and a peer time in the
table of its README.md, plus the generated ones (made in a temporary folder when chosen):
  gen_parabola_1024, _2048, _4096, _8192  rows (1, t, t^2), t = 1..m: m extreme rays,
      (t(t+1), -(2t+1), 1) for t = 1..m-1 and (-m, m+1, -1); peer lrs;
  gen_cubic_1024, _2048, _4096  rows (1, t, t^2, t^3), t = 1..m: the dual of the cone over the
      cyclic 3-polytope; 2m-4 extreme rays, the cubics through the facets {1, j, j+1} and
      {j, j+1, m} of Gale's evenness, (t-a)(t-b)(t-c) and its negative; peer lrs;
  gen_wedge_65535  rows (1, t), t = 1..65535 (the most rows a matrix may have), all distinct:
      a pointed 2-dim cone with the 2 extreme rays (-1, 1) and (65535, -1); every row but the
      first and the last is redundant, which is what the cone measures; peer normaliz;
  gen_rand01_facets_8_40, _9_24, _9_28, _9_30, _9_34, _9_40  (n_k) the facets of the convex
      hull of k distinct random 0/1 points in dimension n (Python's random, seed 1; seed 7 for
      9_28, 9_34 and 9_40), homogenised, computed by normaliz: hundreds to a few thousand rows,
      degenerate, and the k points as the only extreme rays; peer normaliz.

Options:
  --binary PATH        redivez binary (default: build/redivez of this checkout)
  --shared DIR         the shared folder holding cones/ and tools/ (default: the first of
                       ../shared and ../../shared beside this checkout that exists)
  --cones DIR          reference cones (default: SHARED/cones)
  --instances "A B"    run these cones only (reference or generated names), in this order
  --no-generated       leave out the generated cones
  --peer WHICH         table: the "fastest" peer of the README table (default; nmz for the
                       generated cones); all: run nmz, lrs, cdd and 4ti2 once each and take
                       the fastest that finished; or a comma list such as nmz,lrs
  --runs N             runs of each side per cone (default 3)
  --long SECONDS       one run per side only when a first run takes longer (default 60)
  --timeout SECONDS    limit of each run (default 300); a peer that exceeds it has not finished
  --core N             CPU the one-thread runs are pinned to, as by taskset -c N (default:
                       the last CPU of this process's affinity mask)
  --parallel           run redivez on one core, on the last 2, 4, ... CPUs of --cores and on all
                       of them, and its peer on one core and on all, side by side: the times,
                       the ratios, the speed-ups of redivez (marked ! below 1.0) and the peak
                       memory of each; only normaliz of the peers runs threads (-x=N), the
                       N-thread ratio of the others is to their one-core run
  --cores LIST         CPUs of the --parallel runs, a comma list (default: the last four of
                       this process's affinity mask)
  --all-cores          run redivez unpinned (all CPUs of its affinity mask), the peer still
                       pinned, and check the target: at most 0.5x the peer on every cone that
                       takes the peer more than 1 s
  --adjacency-tests    also run redivez under ALGEBRAIC_TEST and PARTITIONED_SETS_TEST and
                       print their time ratio to the default COMBINATIONAL_TEST run (one core);
                       with --parallel also the speed-up of each
  -h, --help           this text

Columns: cone, m x d, rays (known count), n (runs per side), redivez median s, peer, peer median
s, time ratio redivez/peer, peak MiB of each and their ratio, [alg/comb, part/comb], check.
With --parallel: redivez s on 1 CPU, its s and speed-up on each of 2, 4, ... N CPUs (! below
1.0), peer, its s on 1 and N, the ratios redivez/peer on 1 and N, peak MiB of redivez on 1 and N
and their ratio, of the peer on 1 and N, [alg/comb, part/comb, alg and part speed-ups], check.
A ratio written <x is a bound: the peer did not finish within the timeout; >x: redivez did not.
"""
import argparse
import collections
import gzip
import math
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ALL_PEERS = ['nmz', 'lrs', 'cdd', '4ti2']
PEER_PROGRAMS = {'nmz': 'normaliz', 'lrs': 'lrs', 'cdd': 'cddexec_gmp', '4ti2': '4ti2-rays'}
ADJACENCY_TESTS = [('alg', 'ALGEBRAIC_TEST'), ('part', 'PARTITIONED_SETS_TEST')]


class UsageError(Exception):
    pass


def parse_args(argv):
    p = argparse.ArgumentParser(add_help=False)
    p.add_argument('--binary', default=os.path.join(ROOT, 'build', 'redivez'))
    p.add_argument('--shared')
    p.add_argument('--cones')
    p.add_argument('--instances')
    p.add_argument('--no-generated', action='store_true')
    p.add_argument('--peer', default='table')
    p.add_argument('--runs', type=int, default=3)
    p.add_argument('--long', type=float, default=60.0)
    p.add_argument('--timeout', type=float, default=300.0)
    p.add_argument('--core', type=int)
    p.add_argument('--all-cores', action='store_true')
    p.add_argument('--adjacency-tests', action='store_true')
    p.add_argument('--parallel', action='store_true')
    p.add_argument('--cores')
    p.add_argument('-h', '--help', action='store_true')
    a = p.parse_args(argv)
    if a.help:
        print(__doc__.strip())
        sys.exit(0)
    if a.runs < 1 or a.timeout <= 0:
        raise UsageError('--runs must be at least 1 and --timeout positive')
    mask = sorted(os.sched_getaffinity(0))
    if a.core is None:
        a.core = mask[-1]
    try:
        a.cores = sorted(set(int(c) for c in a.cores.split(','))) if a.cores else mask[-4:]
    except ValueError:
        raise UsageError('--cores takes a comma list of CPU numbers, such as 4,5,6,7')
    if a.parallel and (len(a.cores) < 2 or not set(a.cores) <= set(mask)):
        raise UsageError('--parallel needs at least two CPUs of this process (--cores %s; '
                         'CPUs %s)' % (','.join(map(str, a.cores)), ','.join(map(str, mask))))
    if a.parallel and a.all_cores:
        raise UsageError('--parallel and --all-cores exclude each other')
    if a.peer not in ('table', 'all'):
        bad = [x for x in a.peer.split(',') if x not in ALL_PEERS]
        if bad:
            raise UsageError('unknown peer %s (peers: %s)' % (','.join(bad), ','.join(ALL_PEERS)))
    return a


# ---------------------------------------------------------------- measured runs
def _drain(stream, into):
    into.append(stream.read())
    stream.close()


def measured(cmd, cpus, timeout, stdin=None, stdout=None, stderr=None, text=False, cwd=None,
             env=None):
    """Runs cmd pinned to the set of CPUs cpus (unpinned when None), killing its process group
    after timeout seconds. Returns (completed process, wall seconds, peak RSS in KiB, timed out).

    Only /usr/bin/time stands between this process and cmd: it reports the peak RSS of cmd
    (its wait4 rusage, covering 4ti2's wrapper script and lrs's helpers), which this process
    cannot, since a child forked from it starts with its RSS. Pinning by inherited affinity and
    the timeout by a timer spare the taskset and timeout processes, whose start-up added 20 to
    40 ms to every run on this machine and pulled the ratios of sub-second cones towards 1.
    What remains, starting time (about 10 ms), is the same for both sides."""
    mask = os.sched_getaffinity(0)
    if cpus is not None:
        os.sched_setaffinity(0, cpus)
    fd, tfile = tempfile.mkstemp(prefix='rvz_time_')
    os.close(fd)
    try:
        t0 = time.perf_counter()
        proc = subprocess.Popen(['/usr/bin/time', '-f', '%M', '-o', tfile] + list(cmd),
                                stdin=stdin, stdout=stdout, stderr=stderr, text=text, cwd=cwd,
                                env=env, start_new_session=True)
    finally:
        os.sched_setaffinity(0, mask)
    outputs = {}
    readers = []
    for key, stream in (('out', proc.stdout), ('err', proc.stderr)):
        if stream is not None:
            outputs[key] = []
            readers.append(threading.Thread(target=_drain, args=(stream, outputs[key])))
            readers[-1].start()
    lock, state = threading.Lock(), {'done': False, 'killed': False}

    def kill():
        with lock:
            if not state['done']:
                state['killed'] = True
                os.killpg(proc.pid, signal.SIGKILL)

    timer = threading.Timer(timeout, kill)
    timer.start()
    proc.wait()
    wall = time.perf_counter() - t0
    with lock:
        state['done'] = True
    timer.cancel()
    for r in readers:
        r.join()
    with open(tfile) as f:
        # time puts "Command exited with non-zero status N" before the figure; nothing if killed.
        lines = [l for l in f.read().split('\n') if l.strip()]
    os.unlink(tfile)
    rss = int(lines[-1]) if lines and lines[-1].strip().isdigit() else 0
    res = subprocess.CompletedProcess(cmd, proc.returncode, *(
        outputs[k][0] if k in outputs else None for k in ('out', 'err')))
    return res, wall, rss, state['killed']


class PinnedSubprocess:
    """Stands in for the subprocess module inside ddbench, so that its peer functions (input
    writers, command lines, output parsers) run unchanged but pinned and measured. Of the peers
    only normaliz runs threads: ddbench asks for one (-x=1), which becomes -x=N for N CPUs. Its
    OpenMP threads spin while they wait unless OMP_WAIT_POLICY says otherwise; on a machine
    shared with other work that made -x=4 up to 200 times slower than -x=1, so the peers run
    with OMP_WAIT_POLICY=PASSIVE unless the environment sets it."""
    TimeoutExpired = subprocess.TimeoutExpired
    DEVNULL, PIPE, STDOUT = subprocess.DEVNULL, subprocess.PIPE, subprocess.STDOUT

    def __init__(self, cpus):
        self.cpus = cpus   # set by the caller before each peer run
        self.last = None   # (wall s, peak KiB) of the latest command

    def run(self, cmd, timeout=None, **kw):
        cmd = ['-x=%d' % len(self.cpus) if a == '-x=1' else a for a in cmd]
        env = dict(os.environ)
        env.setdefault('OMP_WAIT_POLICY', 'PASSIVE')
        res, wall, rss, timed_out = measured(cmd, self.cpus, timeout, env=env, **kw)
        self.last = (wall, rss)
        if timed_out:
            raise subprocess.TimeoutExpired(cmd, timeout)
        return res


class Side:
    """The runs of one program on one cone, pinned to one set of CPUs (None: unpinned); for
    redivez under the adjacency test of its configuration file conf (None: the default)."""

    def __init__(self, label, cpus, conf=None):
        self.label, self.cpus, self.conf = label, cpus, conf
        self.walls, self.rss = [], 0
        self.status = 'ok'    # ok, timeout, error
        self.note = ''

    @property
    def finished(self):
        return self.status == 'ok' and bool(self.walls)

    def median(self):
        return statistics.median(self.walls) if self.walls else None


# ---------------------------------------------------------------- cones
class Cone:
    def __init__(self, name, matrix, m, d, rays, table_peer, reference=None, known=None,
                 family=None):
        self.name, self.matrix = name, matrix
        self.m, self.d, self.rays = m, d, rays
        self.table_peer = table_peer
        self.reference = reference   # path of NAME.rays(.gz)
        self.known = known           # ray lines known in closed form (generated cones)
        self.checked = reference is not None or known is not None
        self.family = family         # the name shared by the sizes of a growing family

    def reference_lines(self):
        """The canonical rays to check against; None when there are none."""
        if self.known is not None:
            return self.known
        if self.reference is None:
            return None
        opener = gzip.open if self.reference.endswith('.gz') else open
        with opener(self.reference, 'rt') as f:
            return [' '.join(l.split()) for l in f if l.strip()]


def read_peer_table(readme):
    """Instance -> fastest peer, for the rows of the README table that name one."""
    fastest, header = {}, None
    with open(readme) as f:
        for line in f:
            if not line.startswith('|'):
                continue
            cells = [c.strip() for c in line.strip().strip('|').split('|')]
            if header is None:
                if 'instance' in cells and 'fastest' in cells:
                    header = cells
                continue
            if len(cells) != len(header) or set(cells[0]) <= set('-'):
                continue
            row = dict(zip(header, cells))
            if row['fastest'] in ALL_PEERS:
                fastest[row['instance']] = row['fastest']
    if header is None:
        raise UsageError('%s has no table with an "instance" and a "fastest" column' % readme)
    return fastest


def reference_cone(cones, name, table):
    matrix = os.path.join(cones, name + '.txt')
    if not os.path.isfile(matrix):
        return None
    reference = next((os.path.join(cones, name + s) for s in ('.rays', '.rays.gz')
                      if os.path.isfile(os.path.join(cones, name + s))), None)
    m = d = rays = None
    meta = os.path.join(cones, name + '.meta')
    if os.path.isfile(meta):
        with open(meta) as f:
            t = f.read().split()
        m, d = int(t[0]), int(t[1])
        rays = int(t[2]) if len(t) > 2 and t[2].isdigit() else None
    return Cone(name, matrix, m, d, rays, table.get(name), reference=reference)


def write_generated(ddbench, folder, name, rows, header, known, peer, family=None):
    path = os.path.join(folder, name + '.txt')
    ddbench.write_matrix(path, rows, header)
    lines = [' '.join(map(str, r)) for r in ddbench.canon_set(known)]
    return Cone(name, path, len(rows), len(rows[0]), len(lines), peer, known=lines, family=family)


def parabola(ddbench, folder, name, m):
    rows = [[1, t, t * t] for t in range(1, m + 1)]
    known = [[t * (t + 1), -(2 * t + 1), 1] for t in range(1, m)] + [[-m, m + 1, -1]]
    return write_generated(ddbench, folder, name, rows,
                           ['Rows (1, t, t^2), t = 1..%d: %d extreme rays.' % (m, m)], known, 'lrs',
                           'gen_parabola')


def cubic(ddbench, folder, name, m):
    """A polynomial p(t) = x0 + x1 t + x2 t^2 + x3 t^3 spans an extreme ray when it vanishes on
    three of the t that form a facet of the cyclic 3-polytope (Gale's evenness): {1, j, j+1} or
    {j, j+1, m}; p is that product of linear factors, signed to be nonnegative at the others."""
    rows = [[1, t, t * t, t ** 3] for t in range(1, m + 1)]

    def through(a, b, c, sign):
        return [-sign * a * b * c, sign * (a * b + b * c + c * a), -sign * (a + b + c), sign]

    known = ([through(1, j, j + 1, 1) for j in range(2, m)] +
             [through(j, j + 1, m, -1) for j in range(1, m - 1)])
    return write_generated(ddbench, folder, name, rows,
                           ['Rows (1, t, t^2, t^3), t = 1..%d: %d extreme rays.' % (m, 2 * m - 4)],
                           known, 'lrs', 'gen_cubic')


def wedge(ddbench, folder, name, m):
    rows = [[1, t] for t in range(1, m + 1)]
    return write_generated(ddbench, folder, name, rows,
                           ['Rows (1, t), t = 1..%d: extreme rays (-1, 1), (%d, -1).' % (m, m)],
                           [[-1, 1], [m, -1]], 'nmz')


def rand01_facets(ddbench, folder, name, n, k, seed):
    """The facets of the convex hull of k distinct random 0/1 points of dimension n, computed by
    normaliz; the extreme rays are the points, homogenised (0/1 points are in convex position)."""
    if shutil.which('normaliz') is None:
        raise UsageError('%s needs normaliz for its facets (apt-get install -y normaliz)' % name)
    rng = random.Random(seed)
    while True:
        points = set()
        while len(points) < k:
            points.add(tuple(rng.randint(0, 1) for _ in range(n)))
        generators = [[1] + list(p) for p in sorted(points)]
        if ddbench.rank(generators) == n + 1:
            break
    base = os.path.join(folder, name + '_nmz')
    with open(base + '.in', 'w') as f:
        f.write('amb_space %d\ncone %d\n' % (n + 1, k))
        f.write(''.join(' '.join(map(str, g)) + '\n' for g in generators))
    subprocess.run(['normaliz', '-x=1', '--SupportHyperplanes', '--esp', base], check=True,
                   stdout=subprocess.DEVNULL)
    with open(base + '.esp') as f:
        tokens = f.read().split()
    m, d = int(tokens[0]), int(tokens[1])
    values = [int(v) for v in tokens[2:2 + m * d]]
    rows = sorted(values[i * d:(i + 1) * d] for i in range(m))
    return write_generated(ddbench, folder, name, rows,
                           ['Facets of the convex hull of %d random 0/1 points in dimension %d '
                            '(seed %d), homogenised: the points are the extreme rays.'
                            % (k, n, seed)], generators, 'nmz')


def generated_cones():
    """Name -> function (ddbench, folder) writing the cone; made only when chosen."""
    makers = {}
    for m in (1024, 2048, 4096, 8192):
        makers['gen_parabola_%d' % m] = (parabola, m)
    for m in (1024, 2048, 4096):
        makers['gen_cubic_%d' % m] = (cubic, m)
    makers['gen_wedge_65535'] = (wedge, 65535)
    for n, k, seed in ((8, 40, 1), (9, 24, 1), (9, 28, 7), (9, 30, 1), (9, 34, 7), (9, 40, 7)):
        makers['gen_rand01_facets_%d_%d' % (n, k)] = (rand01_facets, n, k, seed)
    return {name: (lambda ddbench, folder, name=name, f=f: f[0](ddbench, folder, name, *f[1:]))
            for name, f in makers.items()}


def select_cones(args, cones_dir, table, generated, make):
    if args.instances:
        chosen = []
        for name in args.instances.split():
            cone = make(generated[name]) if name in generated else reference_cone(cones_dir, name,
                                                                                  table)
            if cone is None:
                raise UsageError('no cone %s in %s (nor a generated one: %s)'
                                 % (name, cones_dir, ' '.join(generated)))
            chosen.append(cone)
        return chosen
    chosen = []
    for name in sorted(table):
        cone = reference_cone(cones_dir, name, table)
        if cone is not None and cone.reference is not None:
            chosen.append(cone)
    if not chosen:
        raise UsageError('no cone in %s has both a reference and a peer time' % cones_dir)
    return chosen + ([] if args.no_generated else [make(g) for g in generated.values()])


# ---------------------------------------------------------------- one cone
class Bench:
    def __init__(self, args, ddbench, ddbench_path, work):
        self.args, self.ddbench, self.ddbench_path, self.work = args, ddbench, ddbench_path, work
        self.runner = PinnedSubprocess({args.core})
        ddbench.subprocess = self.runner
        self.confs = {}
        for label, test in ADJACENCY_TESTS:
            self.confs[label] = os.path.join(work, label + '.conf')
            with open(self.confs[label], 'w') as f:
                f.write('AdjacencyTest = %s\n' % test)
        self.mismatches = []

    def loud(self, cone, text):
        print('!!! %s: %s' % (cone.name, text), flush=True)
        if cone.name not in self.mismatches:
            self.mismatches.append(cone.name)

    def redivez_run(self, cone, side, check, reference):
        folder = os.path.join(self.work, cone.name)
        matrix = os.path.join(folder, cone.name + '.txt')
        cmd = [self.args.binary, matrix] + ([side.conf] if side.conf else [])
        result = matrix + '.out'
        if os.path.exists(result):
            os.unlink(result)   # a run that writes none must not pass on an earlier one
        with open(os.path.join(folder, 'console.txt'), 'w') as log:
            res, wall, rss, timed_out = measured(cmd, side.cpus, self.args.timeout, cwd=folder,
                                                 stdout=log, stderr=subprocess.STDOUT)
        side.rss = max(side.rss, rss)
        if timed_out:
            side.status = 'timeout'
            return wall
        if res.returncode != 0:
            side.status = 'error'
            with open(os.path.join(folder, 'console.txt')) as f:
                tail = [l.strip() for l in f if l.strip()][-1:]
            side.note = 'exit %d %s' % (res.returncode, ' '.join(tail))
            self.loud(cone, 'redivez (%s) failed: %s' % (side.label, side.note))
            return wall
        side.walls.append(wall)
        if check and reference is not None:
            if not os.path.isfile(result):
                self.loud(cone, 'redivez (%s) wrote no %s' % (side.label, os.path.basename(result)))
                return wall
            canon = subprocess.run([sys.executable, self.ddbench_path, 'canon', result],
                                   stdout=subprocess.PIPE, text=True, check=True).stdout
            self.compare(cone, 'redivez (%s)' % side.label, canon.split('\n'), reference)
        return wall

    def peer_run(self, cone, side, A, check, reference):
        func = self.ddbench.PEERS[side.label]
        folder = tempfile.mkdtemp(prefix='peer_', dir=self.work)
        self.runner.cpus = side.cpus
        try:
            rays, _ = func(A, folder, self.args.timeout)
        except subprocess.TimeoutExpired:
            side.status = 'timeout'
            side.rss = max(side.rss, self.runner.last[1])
            return self.runner.last[0]
        except Exception as e:   # noqa: a peer that fails has not finished
            side.status = 'error'
            side.note = str(e).replace('\n', ' ')[:120]
            return self.runner.last[0] if self.runner.last else 0.0
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        wall, rss = self.runner.last
        side.walls.append(wall)
        side.rss = max(side.rss, rss)
        if check and reference is not None:
            if cone.known is not None:
                lines = [' '.join(map(str, r)) for r in self.ddbench.canon_set(rays)]
                self.compare(cone, 'peer ' + side.label, lines, reference)
            elif cone.rays is not None and len(rays) != cone.rays:
                self.loud(cone, 'peer %s returned %d rays, the reference has %d'
                          % (side.label, len(rays), cone.rays))
        return wall

    def compare(self, cone, who, lines, reference):
        got = set(l for l in (' '.join(x.split()) for x in lines) if l)
        if got != reference:
            self.loud(cone, 'RAY SET MISMATCH: %s gave %d rays, %d missing, %d extra (expected %d)'
                      % (who, len(got), len(reference - got), len(got - reference), len(reference)))

    def choose_peer(self, cone, A):
        """Peer label and, when probed, a line of the probe times."""
        if self.args.peer == 'table':
            return cone.table_peer, None
        names = ALL_PEERS if self.args.peer == 'all' else self.args.peer.split(',')
        best, probes = None, []
        for name in names:
            side = Side(name, {self.args.core})
            wall = self.peer_run(cone, side, A, False, None)
            probes.append('%s %s' % (name, '%.3f' % wall if side.finished else side.status))
            if side.finished and (best is None or wall < best[1]):
                best = (name, wall)
        return (best[0] if best else None), 'probe: ' + ', '.join(probes)

    def widths(self):
        """The CPU sets of the runs: one core, and with --parallel the last w CPUs of --cores
        for w = 2, 4, ... and all of them."""
        one = None if self.args.all_cores else {self.args.core}
        return [(1, one)] + ([(w, set(self.args.cores[-w:])) for w in parallel_widths(self.args)]
                             if self.args.parallel else [])

    def run_cone(self, cone):
        """Runs every side on cone, alternating; returns the peer, the probe line, the sides by
        (test or 'peer', CPU count) and the rounds run."""
        folder = os.path.join(self.work, cone.name)
        os.makedirs(folder, exist_ok=True)
        shutil.copyfile(cone.matrix, os.path.join(folder, cone.name + '.txt'))
        rows, _, _ = self.ddbench.read_matrix(cone.matrix)
        A = self.ddbench.int_rows(rows)
        cone.m, cone.d = len(A), len(A[0])
        lines = cone.reference_lines()
        reference = set(lines) if lines is not None else None
        if cone.rays is None and reference is not None:
            cone.rays = len(reference)
        peer, probe = self.choose_peer(cone, A)
        tests = ['comb'] + ([label for label, _ in ADJACENCY_TESTS]
                            if self.args.adjacency_tests else [])
        sides = {}
        for test in tests:
            for n, cpus in self.widths():
                sides[(test, n)] = Side(test, cpus, self.confs.get(test))
                # Only normaliz runs threads; the other peers run once, on one core.
                if test == 'comb' and peer and (n == 1 or peer == 'nmz' and
                                                n == len(self.args.cores)):
                    sides[('peer', n)] = Side(peer, cpus if cpus is not None else {self.args.core})
        default = sides[('comb', 1)]
        runs, rounds = self.args.runs, 0
        while rounds < runs:
            first = rounds == 0
            walls = []
            for (test, n), side in sides.items():
                if test not in ('comb', 'peer') and not sides[('comb', n)].finished:
                    side.status = '-'   # measured only relative to the default run
                if side.status != 'ok':
                    continue
                if test == 'peer':
                    walls.append(self.peer_run(cone, side, A, first, reference))
                else:
                    walls.append(self.redivez_run(cone, side, first, reference))
            rounds += 1
            if first and max(walls, default=0) > self.args.long:
                runs = 1
            if default.status != 'ok':
                break   # the peer alone would only add to the wait
        return peer, probe, sides, rounds


# ---------------------------------------------------------------- report
def fmt_s(side):
    if side is None:
        return '-'
    if side.finished:
        return '%.3f' % side.median()
    return side.status


def fmt_mib(side):
    return '%.1f' % (side.rss / 1024.0) if side is not None and side.rss else '-'


def time_ratio(rdz, peer, timeout):
    """(ratio or None, printed form); a bound when only one side finished."""
    if rdz is None or peer is None:
        return None, '-'
    if rdz.finished and peer.finished:
        r = rdz.median() / peer.median()
        return r, '%.2f' % r
    if rdz.finished and peer.status == 'timeout':
        return None, '<%.2f' % (rdz.median() / timeout)
    if rdz.status == 'timeout' and peer.finished:
        return None, '>%.2f' % (timeout / peer.median())
    return None, '-'


def parallel_widths(args):
    """The CPU counts of the --parallel runs: the powers of two below --cores, and all."""
    n, w, widths = len(args.cores), 2, []
    while w < n:
        widths.append(w)
        w *= 2
    return widths + [n]


def speedup_cell(one, many, timeout):
    """The speed-up of many CPUs over one, marked with ! below 1.0."""
    value, text = time_ratio(one, many, timeout)
    return text + '!' if value is not None and round(value, 2) < 1.0 else text


def geomean(values):
    return math.exp(sum(math.log(v) for v in values) / len(values)) if values else None


def main(argv):
    try:
        args = parse_args(argv)
        args.binary = os.path.abspath(args.binary)
        if not (os.path.isfile(args.binary) and os.access(args.binary, os.X_OK)):
            raise UsageError('no redivez binary at %s (build it, or give --binary PATH)'
                             % args.binary)
        shared = args.shared or next((s for s in (os.path.join(ROOT, '..', 'shared'),
                                                  os.path.join(ROOT, '..', '..', 'shared'))
                                      if os.path.isdir(s)), None)
        if shared is None and not (args.cones):
            raise UsageError('no shared folder beside this checkout: give --shared DIR')
        cones_dir = os.path.abspath(args.cones or os.path.join(shared, 'cones'))
        readme = os.path.join(cones_dir, 'README.md')
        if not os.path.isfile(readme):
            raise UsageError('no cones at %s (no README.md): give --cones DIR or --shared DIR'
                             % cones_dir)
        ddbench_path = os.path.abspath(os.path.join(shared or os.path.dirname(cones_dir),
                                                    'tools', 'ddbench.py'))
        if not os.path.isfile(ddbench_path):
            raise UsageError('no %s: give --shared DIR' % ddbench_path)
        sys.path.insert(0, os.path.dirname(ddbench_path))
        sys.dont_write_bytecode = True   # leave the shared folder as it is
        import ddbench
        table = read_peer_table(readme)
        with tempfile.TemporaryDirectory(prefix='time_runs_') as work:
            cones = select_cones(args, cones_dir, table, generated_cones(),
                                 lambda maker: maker(ddbench, work))
            wanted = set(ALL_PEERS if args.peer == 'all' else
                         [c.table_peer for c in cones if c.table_peer] if args.peer == 'table'
                         else args.peer.split(','))
            missing = [p for p in sorted(wanted) if not any(
                os.access(os.path.join(d, PEER_PROGRAMS[p]), os.X_OK)
                for d in os.environ.get('PATH', '').split(':'))]
            if missing:
                raise UsageError('peer program(s) missing: %s (apt-get install -y normaliz lrslib '
                                 'libcdd-tools 4ti2)'
                                 % ', '.join(PEER_PROGRAMS[p] for p in missing))
            return report(args, ddbench, ddbench_path, work, cones)
    except UsageError as e:
        print('time_runs: %s' % e, file=sys.stderr)
        return 2


def mem_ratio(a, b):
    return a.rss / b.rss if a is not None and b is not None and a.finished and b.finished \
        and a.rss and b.rss else None


def fmt_ratio(r):
    return '%.2f' % r if r else '-'


def cone_cells(args, cone, peer, sides, runs):
    """The (header, width, text) cells of the line of one cone."""
    n = len(args.cores)
    rdz, ps = sides[('comb', 1)], sides.get(('peer', 1))
    cells = [('cone', -26, cone.name), ('m x d', 10, '%dx%d' % (cone.m, cone.d)),
             ('rays', 7, '?' if cone.rays is None else cone.rays), ('n', 2, runs)]
    if not args.parallel:
        cells += [('redivez_s', 9, fmt_s(rdz)), ('peer', 5, peer or '-'), ('peer_s', 9, fmt_s(ps)),
                  ('ratio', 7, time_ratio(rdz, ps, args.timeout)[1]),
                  ('rdz_MiB', 8, fmt_mib(rdz)), ('peer_MiB', 8, fmt_mib(ps)),
                  ('mem', 6, fmt_ratio(mem_ratio(rdz, ps)))]
    else:
        rdz_n, ps_n = sides[('comb', n)], sides.get(('peer', n))
        cells.append(('rdz_1_s', 9, fmt_s(rdz)))
        for w in parallel_widths(args):
            cells += [('rdz_%d_s' % w, 9, fmt_s(sides[('comb', w)])),
                      ('x%d/1' % w, 6, speedup_cell(rdz, sides[('comb', w)], args.timeout))]
        cells += [('peer', 5, peer or '-'), ('peer_1_s', 9, fmt_s(ps)),
                  ('peer_%d_s' % n, 9, fmt_s(ps_n)),
                  ('ratio_1', 7, time_ratio(rdz, ps, args.timeout)[1]),
                  ('ratio_%d' % n, 7, time_ratio(rdz_n, ps_n or ps, args.timeout)[1]),
                  ('rdz_1_MiB', 9, fmt_mib(rdz)), ('rdz_%d_MiB' % n, 9, fmt_mib(rdz_n)),
                  ('mem%d/1' % n, 7, fmt_ratio(mem_ratio(rdz_n, rdz))),
                  ('peer_1_MiB', 10, fmt_mib(ps)), ('peer_%d_MiB' % n, 10, fmt_mib(ps_n))]
    if args.adjacency_tests:
        for label, _ in ADJACENCY_TESTS:
            other = sides[(label, 1)]
            cells.append(('%s/comb' % label, len(label) + 5, time_ratio(other, rdz, args.timeout)[1]
                          if other.status != '-' else '-'))
        if args.parallel:
            for label, _ in ADJACENCY_TESTS:
                for w in parallel_widths(args):
                    cells.append(('%s_x%d/1' % (label, w), len(label) + 6, speedup_cell(
                        sides[(label, 1)], sides[(label, w)], args.timeout)))
    return cells


def growth_lines(family_times):
    """For each generated family of several sizes m, the exponent e of a time growing as m^e,
    from its smallest to its largest member, of redivez and of the peer."""
    lines = []
    for family, points in family_times.items():
        if len(points) < 2:
            continue
        (m0, r0, p0), (m1, r1, p1) = min(points), max(points)
        slope = (lambda a, b: '%.1f' % (math.log(b / a) / math.log(m1 / m0)) if a and b else '?')
        lines.append('growth of %s, m = %d..%d: redivez m^%s, peer m^%s'
                     % (family, m0, m1, slope(r0, r1), slope(p0, p1)))
    return lines


def print_cells(cells, check):
    print(' '.join('%*s' % (w, t) for _, w, t in cells) + '  ' + check, flush=True)


def report(args, ddbench, ddbench_path, work, cones):
    bench = Bench(args, ddbench, ddbench_path, work)
    n = len(args.cores)
    mode = ('all cores: redivez unpinned (CPUs %s), peer pinned to CPU %d'
            % (','.join(map(str, sorted(os.sched_getaffinity(0)))), args.core)
            if args.all_cores else 'one thread: redivez and peer pinned to CPU %d' % args.core)
    if args.parallel:
        mode += '; %d threads: redivez and normaliz -x=%d pinned to CPUs %s' % (
            n, n, ','.join(map(str, args.cores)))
    print('# %s' % args.binary)
    print('# %s; %d runs a side (1 if a first run takes > %gs), timeout %gs, peer %s; '
          'load %.2f %.2f %.2f'
          % (mode, args.runs, args.long, args.timeout, args.peer, *os.getloadavg()))
    blank = collections.defaultdict(lambda: Side('', None))
    print_cells([(h, w, h) for h, w, _ in cone_cells(args, Cone('', '', 0, 0, None, None), None,
                                                     blank, 0)], 'check')
    ratios, mem_ratios, slow_peer, unfinished, speedups, losses = [], [], [], [], [], []
    family_times = collections.defaultdict(list)
    for cone in cones:
        peer, probe, sides, runs = bench.run_cone(cone)
        cells = cone_cells(args, cone, peer, sides, runs)
        rdz, ps = sides[('comb', 1)], sides.get(('peer', 1))
        ratio = time_ratio(rdz, ps, args.timeout)[0]
        mem = mem_ratio(rdz, ps)
        failed = [s for s in sides.values() if s.status == 'error']
        rdz_failed = any(s.status == 'error' for (t, _), s in sides.items() if t != 'peer')
        check = ('error' if rdz_failed else 'MISMATCH' if cone.name in bench.mismatches else
                 rdz.status if not rdz.finished else 'ok' if cone.checked else 'unchecked')
        print_cells(cells, check)
        if probe:
            print('    %s' % probe, flush=True)
        for s in failed:
            print('    %s error: %s' % (s.label, s.note), flush=True)
        if ratio is not None:
            ratios.append((ratio, cone.name))
        if cone.family and rdz.finished:
            family_times[cone.family].append(
                (cone.m, rdz.median(), ps.median() if ps and ps.finished else None))
        if not rdz.finished:
            unfinished.append('%s (%s)' % (cone.name, rdz.status))
        if mem is not None:
            mem_ratios.append(mem)
        if ps is not None and (ps.finished and ps.median() > 1 or ps.status == 'timeout'):
            slow_peer.append((cone.name, rdz, ps))
        if args.parallel:
            for (test, width), side in sides.items():
                if width != 1 or test == 'peer':
                    continue
                for w in parallel_widths(args):
                    speedup = time_ratio(side, sides.get((test, w)), args.timeout)[0]
                    if speedup is not None and speedup < 1.0:
                        losses.append('%s %s on %d: %.2f' % (cone.name, test, w, speedup))
                    if w == n and speedup and side.median() > 1:
                        speedups.append((speedup, '%s %s' % (cone.name, test)))
    print()
    if ratios:
        worst = max(ratios)
        print('geometric mean of time ratios redivez/peer: %.3f over %d cones; worst %.2f (%s)'
              % (geomean([r for r, _ in ratios]), len(ratios), worst[0], worst[1]))
    else:
        print('no cone where both redivez and a peer finished')
    if mem_ratios:
        print('geometric mean of memory ratios redivez/peer: %.3f over %d cones'
              % (geomean(mem_ratios), len(mem_ratios)))
    for line in growth_lines(family_times):
        print(line)
    if args.parallel:
        if speedups:
            print('speed-up of redivez %d threads over 1, runs of more than 1 s: geometric mean '
                  '%.2f over %d; lowest %.2f (%s)' % (n, geomean([x for x, _ in speedups]),
                                                      len(speedups), *min(speedups)))
        else:
            print('no redivez run of more than 1 s on one thread that finished on %d' % n)
        print('speed-ups below 1.0: %s' % (', '.join(losses) if losses else 'none'))
    if unfinished:
        print('redivez did not finish: %s' % ', '.join(unfinished))
    if args.all_cores:
        missed = []
        for name, rdz, ps in slow_peer:
            bound = ps.median() if ps.finished else args.timeout
            if not (rdz.finished and rdz.median() <= 0.5 * bound):
                missed.append('%s (%s)' % (name, time_ratio(rdz, ps, args.timeout)[1]))
        target = 'target <= 0.5x the peer on cones where it takes > 1 s:'
        if not slow_peer:
            print(target, 'no such cone here')
        else:
            print(target, 'met on all %d cones' % len(slow_peer) if not missed else
                  'missed on %d of %d cones: %s' % (len(missed), len(slow_peer), ', '.join(missed)))
    if bench.mismatches:
        print('!!! WRONG OR NO RAY SET on: %s' % ', '.join(bench.mismatches))
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
