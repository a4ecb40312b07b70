#!/usr/bin/env python3
"""Moves a cone with equations into the coordinates of their kernel, and its rays back.

  kernel_coordinates.py reduce MATRIX OUT   the rows a with -a also present are the equations E;
      writes OUT, the other rows A as A K for a basis K of the kernel of E (integer columns), and
      OUT.basis, the matrix K (one row per original coordinate)
  kernel_coordinates.py lift OUT.basis RAYS   prints x = K y, primitive, for every ray y of the
      result file RAYS of redivez on OUT: the extreme rays of the original cone

Exact arithmetic (fractions) throughout.
"""
import math
import sys
from fractions import Fraction


def read_matrix(path):
    with open(path) as f:
        lines = f.read().split('\n')
    start = next(i for i, l in enumerate(lines) if l.split('*', 1)[0].strip() == 'begin')
    tokens = ' '.join(l.split('*', 1)[0] for l in lines[start + 1:]).split()
    m, d = int(tokens[0]), int(tokens[1])
    values = [Fraction(v) for v in tokens[3:3 + m * d]]
    return [values[i * d:(i + 1) * d] for i in range(m)]


def write_matrix(path, rows, header):
    with open(path, 'w') as f:
        f.write('* %s\nbegin\n%d %d integer\n' % (header, len(rows), len(rows[0])))
        f.writelines(' '.join(str(v) for v in r) + '\n' for r in rows)
        f.write('end\n')


def primitive(vector):
    """The integer multiple of vector whose entries have no common factor."""
    scale = math.lcm(*(v.denominator for v in vector))
    ints = [int(v * scale) for v in vector]
    g = math.gcd(*ints) or 1
    return [v // g for v in ints]


def kernel_basis(equations, d):
    """Integer columns spanning {x : E x = 0}, one per free column of the reduced echelon form."""
    rows, pivots = [list(r) for r in equations], []
    for col in range(d):
        r = next((i for i in range(len(pivots), len(rows)) if rows[i][col] != 0), None)
        if r is None:
            continue
        p = len(pivots)
        rows[p], rows[r] = rows[r], rows[p]
        rows[p] = [v / rows[p][col] for v in rows[p]]
        for i in range(len(rows)):
            if i != p and rows[i][col] != 0:
                rows[i] = [a - rows[i][col] * b for a, b in zip(rows[i], rows[p])]
        pivots.append(col)
    basis = []
    for free in (c for c in range(d) if c not in pivots):
        x = [Fraction(0)] * d
        x[free] = Fraction(1)
        for i, col in enumerate(pivots):
            x[col] = -rows[i][free]
        basis.append(primitive(x))
    return basis


def reduce(matrix, out):
    rows = [primitive(r) for r in read_matrix(matrix)]
    present = set(map(tuple, rows))
    equations = [r for r in rows if tuple(-v for v in r) in present]
    inequalities = [r for r in rows if r not in equations]
    basis = kernel_basis([[Fraction(v) for v in r] for r in equations], len(rows[0]))
    reduced = [[sum(a * k for a, k in zip(r, column)) for column in basis] for r in inequalities]
    write_matrix(out, reduced, '%s in the coordinates of the kernel of its %d equation rows'
                 % (matrix, len(equations)))
    write_matrix(out + '.basis', [list(c) for c in zip(*basis)], 'kernel basis of ' + matrix)


def lift(basis_path, rays_path):
    basis = read_matrix(basis_path)
    with open(rays_path) as f:
        for line in f:
            y = line.split()
            if y and all(v.lstrip('-').isdigit() for v in y):
                print(' '.join(map(str, primitive([sum(k * int(v) for k, v in zip(row, y))
                                                   for row in basis]))))


if __name__ == '__main__':
    if len(sys.argv) != 4 or sys.argv[1] not in ('reduce', 'lift'):
        sys.exit(__doc__.strip())
    (reduce if sys.argv[1] == 'reduce' else lift)(sys.argv[2], sys.argv[3])
