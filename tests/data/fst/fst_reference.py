#!/usr/bin/env python3
# Independent F_ST reference: reads a VCF (plain or gzip) and a population map, applies the
# depth masking, the locus filter and the formulas (expected heterozygosity 1 - sum p^2,
# small-sample factor N/(N-1), H_S = mean over populations with a value, F_ST = 1 - H_S/H_T)
# and writes the four tables as zelcli fst does, for a byte comparison.
# usage: fst_reference.py VCF POPMAP SCHEME OUTBASE [--pairwise] [--min-dp N] [--min-dp-hom N]
#        [--min-obs N] [--min-pops N] [--max-states N] [--no-limit-zero] [--no-ssc]
import gzip, sys, math
from decimal import Decimal, ROUND_HALF_EVEN

a = sys.argv[1:]
vcf, popmap, scheme, out = a[:4]
opt = dict(mindp=2, minhom=10, minobs=4, minpops=4, maxst=2)
limit, ssc, pairwise = True, True, False
i = 4
while i < len(a):
    k = a[i]
    if k == '--pairwise': pairwise = True
    elif k == '--no-limit-zero': limit = False
    elif k == '--no-ssc': ssc = False
    else:
        opt[{'--min-dp': 'mindp', '--min-dp-hom': 'minhom', '--min-obs': 'minobs',
             '--min-pops': 'minpops', '--max-states': 'maxst'}[k]] = int(a[i + 1]); i += 1
    i += 1

def fx(v):
    if v is None: return 'NA'
    # exact decimal value of the double, rounded half to even at 4 places
    return str(Decimal(v).quantize(Decimal('0.0001'), rounding=ROUND_HALF_EVEN))

rows = [l.rstrip('\r\n').split('\t') for l in open(popmap, newline='')]
col = rows[0].index(scheme)
labels = sorted({r[col] for r in rows[1:]} - {'', '.'})
member = [labels.index(r[col]) if r[col] not in ('', '.') else None for r in rows[1:]]

op = gzip.open if open(vcf, 'rb').read(2) == b'\x1f\x8b' else open
loci = []  # (name, nalleles, per-sample list of alleles after masking) or None
for line in op(vcf, 'rt'):
    line = line.rstrip('\r\n')
    if line.startswith('#'): continue
    f = line.split('\t')
    name = f[0] + '\t' + f[1]
    alt = f[4]
    if f[3] == '' or alt in ('.', '') or alt.startswith('<'):
        loci.append((name, 0, None)); continue
    n = 1 + sum(1 for x in alt.split(',') if x not in ('<*>', '<NON_REF>'))
    fmt = f[8].split(':')
    gi = fmt.index('GT') if 'GT' in fmt else None
    di = fmt.index('DP') if 'DP' in fmt else None
    calls = []
    for s in range(len(member)):
        c = f[9 + s].split(':') if 9 + s < len(f) else ['.']
        gt = c[gi] if gi is not None and gi < len(c) else ''
        al = [None if x == '.' else int(x) for x in gt.replace('|', '/').split('/')] if gt else []
        if any(x is not None and x >= n for x in al): al = []
        al += [None] * (2 - len(al))
        if opt['mindp']:
            d = c[di] if di is not None and di < len(c) else ''
            d = int(d) if d not in ('', '.') else 0
            hom = max(opt['minhom'], opt['mindp'])
            if d < opt['mindp']: al = []
            elif d < hom and al[0] == al[1]: al = al[:1]
        calls.append([x for x in al if x is not None])
    loci.append((name, n, calls))

def run(pops, desc):
    # pops: list of population numbers (in member's numbering), in their order in the tables
    np_ = len(pops)
    acl, afl, hetl, fstl = [], [], [], []
    for name, n, calls in loci:
        if calls is None or n > opt['maxst']: continue
        acp = [[0] * n for _ in pops]
        for s, al in enumerate(calls):
            if member[s] in pops:
                for x in al: acp[pops.index(member[s])][x] += 1
        nap = [sum(c) for c in acp]
        mp = 2 if pairwise else opt['minpops']
        if sum(1 for x in nap if x >= max(opt['minobs'], 1)) < max(mp, 1): continue
        acg = [sum(c[k] for c in acp) for k in range(n)]
        N = sum(acg)
        afg = [x / N for x in acg]
        afp = [[x / m for x in c] if m else None for c, m in zip(acp, nap)]
        ht = 1 - sum(p * p for p in afg)
        if ssc: ht = ht * (N / (N - 1)) if N >= 2 else None
        hp = []
        for fr, m in zip(afp, nap):
            if fr is None: hp.append(None); continue
            h = 1 - sum(p * p for p in fr)
            if ssc: h = h * (m / (m - 1)) if m >= 2 else None
            hp.append(h)
        dfn = [h for h in hp if h is not None]
        hs = sum(dfn) / len(dfn) if dfn else None
        if ht is None or hs is None or ht == 0: fst = None
        elif hs == 0: fst = 1.0
        else: fst = 1 - hs / ht
        if fst is not None and limit and fst < 0: fst = 0.0
        acl.append(name + '\t' + '\t'.join(', '.join(map(str, c)) for c in [acg] + acp))
        afl.append(name + '\t' + '\t'.join(', '.join(fx(x) for x in fr) if fr else ', '.join(['NA'] * n) for fr in [afg] + afp))
        hetl.append(name + '\t' + '\t'.join(fx(x) for x in [ht, hs] + hp))
        fstl.append(name + '\t' + fx(fst))
    hdr = 'Chr\tPos'
    tabs = {
        'ac_': [hdr + '\tAC_global' + ''.join('\tAC_Pop%d' % p for p in range(np_))] + acl,
        'af_': [hdr + '\tAF_global' + ''.join('\tAF_%d' % p for p in range(np_))] + afl,
        'het_': [hdr + '\tH_T\tH_S' + ''.join('\tH_%d' % p for p in range(np_))] + hetl,
        'fst_': [hdr + '\tFst'] + fstl}
    for k, lines in tabs.items():
        with open(out + k + desc + '.tsv', 'w', newline='') as fh:
            fh.write(''.join(l + '\r\n' for l in lines))

if not pairwise:
    run(sorted({m for m in member if m is not None}), 'global')
else:
    order = []
    for m in member:
        if m is not None and m not in order: order.append(m)
    for i in range(1, len(order)):
        for j in range(i):
            run([order[j], order[i]], labels[order[i]] + '-' + labels[order[j]])
