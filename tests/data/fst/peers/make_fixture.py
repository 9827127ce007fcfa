#!/usr/bin/env python3
# Writes peers.vcf and peers.popmap: three populations of diploid samples, 120 loci on two
# chromosomes with different allele frequencies per population, some missing calls and a few
# triallelic sites, for comparing zelcli fst --estimator wc/hudson with vcftools and plink2.
import random

rng = random.Random(23)
pops = {'popA': 9, 'popB': 7, 'popC': 8}
samples = [(f'{p}_{i + 1}', p) for p, n in pops.items() for i in range(n)]
lines = ['##fileformat=VCFv4.2',
         '##contig=<ID=chr1,length=100000>', '##contig=<ID=chr2,length=100000>',
         '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">',
         '#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t' +
         '\t'.join(s for s, _ in samples)]
for k in range(120):
    chrom = 'chr1' if k < 70 else 'chr2'
    pos = 1000 + 731 * (k if k < 70 else k - 70)
    tri = k % 17 == 5
    nal = 3 if tri else 2
    freqs = {}
    for p in pops:
        w = [rng.random() ** 2 + 0.02 for _ in range(nal)]
        freqs[p] = [x / sum(w) for x in w]
    calls = []
    for s, p in samples:
        if rng.random() < 0.06:
            calls.append('./.')
            continue
        a = rng.choices(range(nal), freqs[p], k=2)
        calls.append(f'{a[0]}/{a[1]}')
    alt = 'C,G' if tri else 'C'
    lines.append(f'{chrom}\t{pos}\tv{k}\tA\t{alt}\t.\tPASS\t.\tGT\t' + '\t'.join(calls))
open('peers.vcf', 'w').write('\n'.join(lines) + '\n')
with open('peers.popmap', 'w') as f:
    f.write('<SAMPLES>\tpop\n')
    for s, p in samples:
        f.write(f'{s}\t{p}\n')
for p in pops:
    with open(f'{p}.txt', 'w') as f:
        f.write(''.join(s + '\n' for s, q in samples if q == p))
