#!/usr/bin/env python3
"""Writes an independent labelled evaluation set ("NAME<TAB>text" lines, NAME a resource name
like ENGLISH) from text the training corpus never saw.

    python3 scripts/make-independent-set.py --debs DEBS_DIR --corpus CORPUS_DIR \
        --out OUT.tsv [--per-bucket 300] [--seed independent-1]

DEBS_DIR holds one folder per Debian 12 package, named after the package, each the output of
`dpkg-deb -x` of the .deb that `apt-get download PACKAGE` fetched.  CORPUS_DIR is the training
corpus (its corpuslib.py, stats.json, SOURCES.md and <NAME>.txt files are read, never written).

Sources: the gettext catalogues (*.mo) of these packages, none of which gives text to the training
corpus (the script refuses any package named in the corpus's stats.json, its SOURCES.md or the
catalogue list of its build script):
    the 61 packages of EVAL_PACKAGES below;
plus, for LATIN (no catalogue translates into it beyond a few strings), the Livy passage
data/lucretia.txt of `collatinus` (Ab urbe condita 1.57-59, a book the corpus does not hold).
ENGLISH takes the msgids (English source strings) of the German catalogues of the same packages.

Cleaning is the corpus's own (its corpuslib, imported from CORPUS_DIR): locale folders per language
as in the corpus (nb+no, pt+pt_BR, zh_TW+zh_HK, ...); translations equal to their msgid and
translator credits dropped; multi-line strings split at blank lines into paragraphs, wrapped lines
joined; tags, entities, URLs, e-mail addresses, paths, file names, printf/brace/shell placeholders,
accelerator marks, soft hyphens and zero-width spaces removed.  On top of that, stricter than the
training side:
  - a string from which anything was removed (placeholder, tag, accelerator ...) or an option-list
    paragraph is not used at all, so no text has a gap where a placeholder was;
  - the line must pass the corpus's held-out script test (language_ok strict: letters mostly of the
    language's script, Cyrillic/Arabic/Chinese letter exclusions, English marker words);
  - lines found verbatim in any training file of the corpus are dropped, and so are texts that
    occur under two labels;
  - texts with "=" (key=value settings, "Help Contents=..." glitches) are dropped, and so are
    keyword and synonym lists (a "|", or two commas with no space after them: "parsek,parseks,pc");
  - texts longer than 400 UTF-16 units are cut at the last sentence end (else the last space)
    before 400 units.
Length buckets in UTF-16 units: short 10-30, medium 31-100, long 101-400.  Per language and bucket
at most --per-bucket texts are drawn, spread over the packages in turn (each package's lines and
the package order shuffled with the seed) so no single catalogue dominates.  A summary of the
number of texts per language, bucket and package goes to OUT with the suffix .sources.tsv, and
the package of each text, line by line, to OUT with the suffix .origin.
"""
import argparse
import collections
import json
import os
import random
import re
import sys

EVAL_PACKAGES = '''adduser bash coreutils deluge-common dialog diffutils e2fsprogs-l10n elisa eog findutils
flatpak fwupd geary gettext gimp-data gitg gnome-calculator gnote gnucash-common gpodder grep
grisbi-common gstreamer1.0-plugins-base gstreamer1.0-plugins-good gthumb-data gucharmap
homebank-data hplip-data inkscape k3b-i18n kate kbounce kde-spectacle kget kmines kolourpaint
kwin-data libc-l10n libgphoto2-l10n libkf5textwidgets-data libkf5widgetsaddons-data
libsane-common libxfce4ui-common lightdm lxappearance man-db metacity-common mutter-common
pitivi plasma-desktop-data sound-juicer tar udisks2 util-linux-locales vlc-l10n wget
xfce4-clipman xfce4-weather-plugin xscreensaver-data yelp zenity-common'''.split()

RE_LIST_COMMA = re.compile(r'[^\W\d_],[^\W\d_]')
BUCKETS = (('short', 10, 30), ('medium', 31, 100), ('long', 101, 400))


def training_packages(corpus):
    """Every package the corpus names as a source or a catalogue candidate."""
    used = set()
    stats = json.load(open(os.path.join(corpus, 'stats.json'), encoding='utf-8'))
    for v in stats.values():
        for key in v.get('available_bytes', {}):
            if key.startswith('deb:'):
                used.add(key[4:].split(' ')[0])
    text = open(os.path.join(corpus, 'SOURCES.md'), encoding='utf-8').read()
    used.update(re.findall(r'^\| ([a-z0-9][a-z0-9.+\-]+) \|', text, re.M))
    used.update(re.findall(r'`([a-z0-9][a-z0-9.+\-]+)`', text))
    m = re.search(r'Added package names, one line: (.*)', text)
    if m:
        used.update(m.group(1).split())
    build = open(os.path.join(corpus, 'build_corpus.py'), encoding='utf-8').read()
    m = re.search(r'TRAIN_MO = \[(.*?)\]', build, re.S)
    if m:
        used.update(re.findall(r"'([^']+)'", m.group(1)))
    return used


def u16len(s):
    return len(s.encode('utf-16-le')) // 2


def cut(text, limit=400):
    """Cut a text to at most limit UTF-16 units at a sentence end, else at a space."""
    if u16len(text) <= limit:
        return text
    head = text
    while u16len(head) > limit:
        head = head[:-1]
    m = None
    for m in re.finditer(r'[.!?。！？](?=\s|$)', head):
        pass
    if m and u16len(head[:m.end()]) >= 101:
        return head[:m.end()].strip()
    sp = head.rfind(' ')
    if sp > 0 and u16len(head[:sp]) >= 101:
        return head[:sp].strip()
    return head.strip()


def bucket_of(text):
    n = u16len(text)
    for name, lo, hi in BUCKETS:
        if lo <= n <= hi:
            return name
    return None


def latin_passage(path):
    """Sentences of a Latin prose passage (the title line dropped), joined up to about 400 units
    so that each bucket gets some; clauses at ';' / ':' give short texts."""
    raw = open(path, encoding='utf-8').read()
    lines = [l.strip() for l in raw.split('\n')]
    body = ' '.join(l for l in lines[1:] if l)
    body = re.sub(r'\s+', ' ', body)
    sentences = []
    for piece in re.split(r'(?<=[.?!])\s+', body):
        # "Sex. Tarquinius", "P. Valerius": a praenomen's abbreviation ends no sentence
        if sentences and re.search(r'\b(?:Sex|[A-Z])\.$', sentences[-1]):
            sentences[-1] += ' ' + piece
        elif piece.strip():
            sentences.append(piece.strip())
    out = []
    for s in sentences:
        if u16len(s) <= 100:
            out.append(s)
        else:
            out.append(cut(s))
            out.extend(c.strip() for c in re.split(r'[;:]', s) if c.strip())
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--debs', required=True)
    ap.add_argument('--corpus', required=True)
    ap.add_argument('--out', required=True)
    ap.add_argument('--per-bucket', type=int, default=300)
    ap.add_argument('--seed', default='independent-1')
    a = ap.parse_args()

    sys.path.insert(0, os.path.abspath(a.corpus))
    import corpuslib as C  # the corpus's own cleaning and script tests

    used = training_packages(a.corpus)
    packages = []
    for p in EVAL_PACKAGES:
        if p in used:
            sys.exit(f'{p} is a training source; refusing to evaluate on it')
        if not os.path.isdir(os.path.join(a.debs, p)):
            print(f'warning: {p} not unpacked in {a.debs}', file=sys.stderr)
            continue
        packages.append(p)
    zhcache = os.path.join(a.corpus, '.zh_sets.json')

    # texts[lang][package] = ordered unique cleaned texts
    corpus_lines = set()
    for lang in C.ORDER:
        with open(os.path.join(a.corpus, lang + '.txt'), encoding='utf-8') as f:
            corpus_lines.update(l.rstrip('\n') for l in f)

    texts = {}
    for lang in C.ORDER:
        per_pkg = collections.OrderedDict()
        seen = set()
        sources = [(p, None) for p in packages]
        if lang == 'LATIN':
            sources.append(('collatinus', latin_passage(os.path.join(
                a.debs, 'collatinus', 'usr/share/collatinus/data/lucretia.txt'))))
        for p, given in sources:
            if given is not None:
                cands = [(t, False) for t in given]
            elif lang == 'ENGLISH':
                cands = C.extract_mo_package(os.path.join(a.debs, p), ['de'], english=True, paragraphs=True)
            else:
                cands = C.extract_mo_package(os.path.join(a.debs, p), C.LANGS[lang]['mo'], paragraphs=True)
            keep = []
            for t, touched in cands:
                if touched:
                    continue
                t = cut(t)
                if t in seen or t in corpus_lines or bucket_of(t) is None or '=' in t:
                    continue
                if '|' in t or len(RE_LIST_COMMA.findall(t)) >= 2:   # keyword / synonym lists
                    continue
                if not C.language_ok(t, lang, zhcache, strict=True):
                    continue
                seen.add(t)
                keep.append(t)
            if keep:
                per_pkg[p] = keep
        texts[lang] = per_pkg

    # a text under two labels says nothing about either
    labels = collections.Counter()
    for lang, per_pkg in texts.items():
        for t in set(t for lines in per_pkg.values() for t in lines):
            labels[t] += 1

    out_lines = []
    origins = []   # the package of each output line
    summary = []
    for lang in C.ORDER:
        rng = random.Random(f'{a.seed}-{lang}')
        for bname, _, _ in BUCKETS:
            pools = []
            for p, lines in texts[lang].items():
                pool = [t for t in lines if bucket_of(t) == bname and labels[t] == 1]
                rng.shuffle(pool)
                if pool:
                    pools.append((p, pool))
            rng.shuffle(pools)
            taken = collections.Counter()
            chosen = []   # (package, text)
            i = 0
            while len(chosen) < a.per_bucket and any(pools):
                progressed = False
                for p, pool in pools:
                    if i < len(pool) and len(chosen) < a.per_bucket:
                        chosen.append((p, pool[i]))
                        taken[p] += 1
                        progressed = True
                i += 1
                if not progressed:
                    break
            for p, t in chosen:
                out_lines.append(f'{lang}\t{t}')
                origins.append(p)
            for p, n in sorted(taken.items(), key=lambda x: -x[1]):
                summary.append(f'{lang}\t{bname}\t{p}\t{n}')
            print(f'{lang:20s} {bname:6s} {len(chosen):4d} from {len(taken)} packages', file=sys.stderr)

    with open(a.out, 'w', encoding='utf-8') as f:
        f.write('\n'.join(out_lines) + '\n')
    with open(a.out + '.sources.tsv', 'w', encoding='utf-8') as f:
        f.write('lang\tbucket\tpackage\ttexts\n' + '\n'.join(summary) + '\n')
    with open(a.out + '.origin', 'w', encoding='utf-8') as f:
        f.write('\n'.join(origins) + '\n')
    print(f'{len(out_lines)} texts written to {a.out}', file=sys.stderr)


if __name__ == '__main__':
    main()
