#!/usr/bin/env python3
"""Whole-run benchmark of redivez against the fastest peer tool, cone by cone.

Usage: bench/time_runs.sh [OPTIONS]          (the entry point; it runs this script)

For each cone it alternates runs of redivez and of one peer (redivez, peer, redivez, peer, ...),
and prints the median wall seconds, the peak resident memory (max over the runs) and the ratios
redivez / peer of both; at the end the geometric mean and the worst of the time ratios over the
cones where both finished. Every result of redivez is checked against the known extreme rays
(the reference NAME.rays / NAME.rays.gz, canonicalised with ddbench.py canon; for generated
cones the rays known in closed form, which the peer must reproduce too) and a mismatch is
reported on lines starting with '!!!' (exit status 1). This is a benchmark: it prints figures
and judges nothing but the ray sets.

Peers: nmz (normaliz, one thread), lrs (lrslib), cdd (libcdd-tools), 4ti2 (4ti2-rays), fed
through the encodings of shared/tools/ddbench.py. When one is missing, time_runs.sh installs
them (apt-get install -y normaliz lrslib libcdd-tools 4ti2) if it runs as root, else it stops.

Cones: by default every cone of the cones folder that has a reference and a peer time in the
table of its README.md, plus four generated ones (made in a temporary folder, peer normaliz):
  gen_parabola_1024, _2048, _4096  rows (1, t, t^2), t = 1..m: m extreme rays,
      (t(t+1), -(2t+1), 1) for t = 1..m-1 and (-m, m+1, -1);
  gen_wedge_65535  rows (1, t), t = 1..65535 (the most rows a matrix may have), all distinct:
      a pointed 2-dim cone with the 2 extreme rays (-1, 1) and (65535, -1); every row but the
      first and the last is redundant, which is what the cone measures.

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
  --all-cores          run redivez unpinned (all CPUs of its affinity mask), the peer still
                       pinned, and check the target: at most 0.5x the peer on every cone that
                       takes the peer more than 1 s
  --adjacency-tests    also run redivez under ALGEBRAIC_TEST and PARTITIONED_SETS_TEST and
                       print their time ratio to the default COMBINATIONAL_TEST run
  -h, --help           this text

Columns: cone, m x d, rays (known count), n (runs per side), redivez median s, peer, peer median
s, time ratio redivez/peer, peak MiB of each and their ratio, [alg/comb, part/comb], check.
A ratio written <x is a bound: the peer did not finish within the timeout; >x: redivez did not.
"""
import argparse
import gzip
import math
import os
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
    p.add_argument('-h', '--help', action='store_true')
    a = p.parse_args(argv)
    if a.help:
        print(__doc__.strip())
        sys.exit(0)
    if a.runs < 1 or a.timeout <= 0:
        raise UsageError('--runs must be at least 1 and --timeout positive')
    if a.peer not in ('table', 'all'):
        bad = [x for x in a.peer.split(',') if x not in ALL_PEERS]
        if bad:
            raise UsageError('unknown peer %s (peers: %s)' % (','.join(bad), ','.join(ALL_PEERS)))
    return a


# ---------------------------------------------------------------- measured runs
def _drain(stream, into):
    into.append(stream.read())
    stream.close()


def measured(cmd, core, timeout, stdin=None, stdout=None, stderr=None, text=False, cwd=None):
    """Runs cmd pinned to core (unpinned when None), killing its process group after timeout
    seconds. Returns (completed process, wall seconds, peak RSS in KiB, timed out).

    Only /usr/bin/time stands between this process and cmd: it reports the peak RSS of cmd
    (its wait4 rusage, covering 4ti2's wrapper script and lrs's helpers), which this process
    cannot, since a child forked from it starts with its RSS. Pinning by inherited affinity and
    the timeout by a timer spare the taskset and timeout processes, whose start-up added 20 to
    40 ms to every run on this machine and pulled the ratios of sub-second cones towards 1.
    What remains, starting time (about 10 ms), is the same for both sides."""
    mask = os.sched_getaffinity(0)
    if core is not None:
        os.sched_setaffinity(0, {core})
    fd, tfile = tempfile.mkstemp(prefix='rvz_time_')
    os.close(fd)
    try:
        t0 = time.perf_counter()
        proc = subprocess.Popen(['/usr/bin/time', '-f', '%M', '-o', tfile] + list(cmd),
                                stdin=stdin, stdout=stdout, stderr=stderr, text=text, cwd=cwd,
                                start_new_session=True)
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
    writers, command lines, output parsers) run unchanged but pinned and measured."""
    TimeoutExpired = subprocess.TimeoutExpired
    DEVNULL, PIPE, STDOUT = subprocess.DEVNULL, subprocess.PIPE, subprocess.STDOUT

    def __init__(self, core):
        self.core = core
        self.last = None   # (wall s, peak KiB) of the latest command

    def run(self, cmd, timeout=None, **kw):
        res, wall, rss, timed_out = measured(cmd, self.core, timeout, **kw)
        self.last = (wall, rss)
        if timed_out:
            raise subprocess.TimeoutExpired(cmd, timeout)
        return res


class Side:
    """The runs of one program on one cone."""

    def __init__(self, label):
        self.label = label
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
    def __init__(self, name, matrix, m, d, rays, table_peer, reference=None, known=None):
        self.name, self.matrix = name, matrix
        self.m, self.d, self.rays = m, d, rays
        self.table_peer = table_peer
        self.reference = reference   # path of NAME.rays(.gz)
        self.known = known           # ray lines known in closed form (generated cones)
        self.checked = reference is not None or known is not None

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


def write_generated(ddbench, folder, name, rows, header, known):
    path = os.path.join(folder, name + '.txt')
    ddbench.write_matrix(path, rows, header)
    lines = [' '.join(map(str, r)) for r in ddbench.canon_set(known)]
    return Cone(name, path, len(rows), len(rows[0]), len(lines), 'nmz', known=lines)


def generated_cones(ddbench, folder):
    cones = {}
    for m in (1024, 2048, 4096):
        rows = [[1, t, t * t] for t in range(1, m + 1)]
        known = [[t * (t + 1), -(2 * t + 1), 1] for t in range(1, m)] + [[-m, m + 1, -1]]
        name = 'gen_parabola_%d' % m
        cones[name] = write_generated(ddbench, folder, name, rows,
                                      ['Rows (1, t, t^2), t = 1..%d: %d extreme rays.' % (m, m)],
                                      known)
    m = 65535
    rows = [[1, t] for t in range(1, m + 1)]
    name = 'gen_wedge_%d' % m
    cones[name] = write_generated(ddbench, folder, name, rows,
                                  ['Rows (1, t), t = 1..%d: extreme rays (-1, 1), (%d, -1).'
                                   % (m, m)],
                                  [[-1, 1], [m, -1]])
    return cones


def select_cones(args, cones_dir, table, generated):
    if args.instances:
        chosen = []
        for name in args.instances.split():
            cone = generated.get(name) or reference_cone(cones_dir, name, table)
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
    return chosen + ([] if args.no_generated else list(generated.values()))


# ---------------------------------------------------------------- one cone
class Bench:
    def __init__(self, args, ddbench, ddbench_path, work):
        self.args, self.ddbench, self.ddbench_path, self.work = args, ddbench, ddbench_path, work
        self.core = args.core
        self.runner = PinnedSubprocess(self.core)
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

    def redivez_run(self, cone, side, conf, check, reference):
        folder = os.path.join(self.work, cone.name)
        matrix = os.path.join(folder, cone.name + '.txt')
        cmd = [self.args.binary, matrix] + ([conf] if conf else [])
        result = matrix + '.out'
        if os.path.exists(result):
            os.unlink(result)   # a run that writes none must not pass on an earlier one
        core = None if self.args.all_cores else self.core
        with open(os.path.join(folder, 'console.txt'), 'w') as log:
            res, wall, rss, timed_out = measured(cmd, core, self.args.timeout, cwd=folder,
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
            side = Side(name)
            wall = self.peer_run(cone, side, A, False, None)
            probes.append('%s %s' % (name, '%.3f' % wall if side.finished else side.status))
            if side.finished and (best is None or wall < best[1]):
                best = (name, wall)
        return (best[0] if best else None), 'probe: ' + ', '.join(probes)

    def run_cone(self, cone):
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
        sides = [('rdz', Side('comb'), None)]
        if peer:
            sides.append(('peer', Side(peer), None))
        if self.args.adjacency_tests:
            sides += [('rdz', Side(label), self.confs[label]) for label, _ in ADJACENCY_TESTS]
        runs, rounds = self.args.runs, 0
        while rounds < runs:
            first = rounds == 0
            walls = []
            for kind, side, conf in sides:
                if kind == 'rdz' and conf and not sides[0][1].finished:
                    side.status = '-'   # measured only relative to the default run
                if side.status != 'ok':
                    continue
                if kind == 'rdz':
                    walls.append(self.redivez_run(cone, side, conf, first, reference))
                else:
                    walls.append(self.peer_run(cone, side, A, first, reference))
            rounds += 1
            if first and max(walls, default=0) > self.args.long:
                runs = 1
            if sides[0][1].status != 'ok':
                break   # the peer alone would only add to the wait
        labelled = {s.label if k == 'peer' else 'rdz_' + s.label: s for k, s, _ in sides}
        return peer, probe, labelled, rounds


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
        if args.core is None:
            args.core = max(os.sched_getaffinity(0))
        table = read_peer_table(readme)
        with tempfile.TemporaryDirectory(prefix='time_runs_') as work:
            generated = generated_cones(ddbench, work)
            cones = select_cones(args, cones_dir, table, generated)
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


def report(args, ddbench, ddbench_path, work, cones):
    bench = Bench(args, ddbench, ddbench_path, work)
    mode = ('all cores: redivez unpinned (CPUs %s), peer pinned to CPU %d'
            % (','.join(map(str, sorted(os.sched_getaffinity(0)))), args.core)
            if args.all_cores else 'one thread: redivez and peer pinned to CPU %d' % args.core)
    print('# %s' % args.binary)
    print('# %s; %d runs a side (1 if a first run takes > %gs), timeout %gs, peer %s; '
          'load %.2f %.2f %.2f'
          % (mode, args.runs, args.long, args.timeout, args.peer, *os.getloadavg()))
    head = '%-26s %10s %7s %2s %9s %5s %9s %7s %8s %8s %6s' % (
        'cone', 'm x d', 'rays', 'n', 'redivez_s', 'peer', 'peer_s', 'ratio',
        'rdz_MiB', 'peer_MiB', 'mem')
    if args.adjacency_tests:
        head += ' %8s %9s' % ('alg/comb', 'part/comb')
    print(head + '  check', flush=True)
    ratios, mem_ratios, slow_peer, unfinished = [], [], [], []
    for cone in cones:
        peer, probe, sides, runs = bench.run_cone(cone)
        rdz, ps = sides['rdz_comb'], sides.get(peer)
        ratio, ratio_text = time_ratio(rdz, ps, args.timeout)
        mem = (rdz.rss / ps.rss if ps is not None and rdz.finished and ps.finished
               and rdz.rss and ps.rss else None)
        line = '%-26s %10s %7s %2d %9s %5s %9s %7s %8s %8s %6s' % (
            cone.name, '%dx%d' % (cone.m, cone.d), '?' if cone.rays is None else cone.rays, runs,
            fmt_s(rdz), peer or '-', fmt_s(ps), ratio_text, fmt_mib(rdz), fmt_mib(ps),
            '%.2f' % mem if mem else '-')
        if args.adjacency_tests:
            for label, _ in ADJACENCY_TESTS:
                other = sides['rdz_' + label]
                line += ' %*s' % (8 if label == 'alg' else 9,
                                  '%.2f' % (other.median() / rdz.median())
                                  if other.finished and rdz.finished else other.status)
        failed = [s for s in sides.values() if s.status == 'error']
        rdz_failed = any(s.status == 'error' for k, s in sides.items() if k.startswith('rdz_'))
        check = ('error' if rdz_failed else 'MISMATCH' if cone.name in bench.mismatches else
                 rdz.status if not rdz.finished else 'ok' if cone.checked else 'unchecked')
        print(line + '  ' + check, flush=True)
        if probe:
            print('    %s' % probe, flush=True)
        for s in failed:
            print('    %s error: %s' % (s.label, s.note), flush=True)
        if ratio is not None:
            ratios.append((ratio, cone.name))
        if not rdz.finished:
            unfinished.append('%s (%s)' % (cone.name, rdz.status))
        if mem is not None:
            mem_ratios.append(mem)
        if ps is not None and (ps.finished and ps.median() > 1 or ps.status == 'timeout'):
            slow_peer.append((cone.name, rdz, ps))
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
