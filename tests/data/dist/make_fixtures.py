#!/usr/bin/python3
# Writes the reference fixtures of the distance tests with numpy/scipy (run once; the outputs
# are committed): a random matrix with its classical-scaling coordinates, and random matrices
# with scipy's average-linkage cophenetic distances.
import numpy as np
from scipy.cluster.hierarchy import linkage, cophenet
from scipy.spatial.distance import squareform

def write_matrix(fn, names, d):
    n = len(names)
    with open(fn, "w", newline="") as f:
        f.write("\t".join(names) + "\r\n")
        for i in range(n):
            f.write("".join("%.9f\t" % d[i, j] for j in range(i + 1)) + "\r\n")
        f.write("\r\n")

def read_back(d):
    # the matrix exactly as the file holds it (9 decimals)
    return np.array([[float("%.9f" % x) for x in row] for row in d])

rng = np.random.default_rng(20261210)

# PCoA: 12 items, non-Euclidean distances.
n = 12
a = rng.uniform(0.1, 1.0, (n, n))
d = np.tril(a, -1)
d = d + d.T
d = read_back(d)
names = ["s%02d" % i for i in range(n)]
write_matrix("pcoa12.dist", names, d)
A = -0.5 * d ** 2
J = np.eye(n) - np.ones((n, n)) / n
B = J @ A @ J
w, v = np.linalg.eigh(B)
order = np.argsort(w)[::-1]
w, v = w[order], v[:, order]
keep = w > 1e-10 * w[0]
w, v = w[keep], v[:, keep]
for k in range(v.shape[1]):
    if v[0, k] < 0:
        v[:, k] = -v[:, k]
coords = v * np.sqrt(w)
with open("pcoa12.expected", "w") as f:
    f.write(" ".join(repr(x) for x in w) + "\n")
    for i in range(n):
        f.write(" ".join(repr(x) for x in coords[i]) + "\n")

# UPGMA: 50 items, random distances (no ties), scipy's average linkage.
for tag, seed in (("a", 1), ("b", 2)):
    r = np.random.default_rng(seed)
    n = 50
    a = r.uniform(0.0, 1.0, (n, n))
    d = np.tril(a, -1)
    d = d + d.T
    d = read_back(d)
    names = ["t%02d" % i for i in range(n)]
    write_matrix("upgma50%s.dist" % tag, names, d)
    z = linkage(squareform(d, checks=False), method="average")
    c = squareform(cophenet(z))
    with open("upgma50%s.cophenetic" % tag, "w") as f:
        for i in range(n):
            f.write(" ".join(repr(x) for x in c[i]) + "\n")
