#!/usr/bin/env python3
"""Fidelity of vellumix-cli against the MEI encodings of the SCORE short examples.

mei_fidelity.py CLI THRESHOLD [--corpus DIR] [--min-file P] [-v]
Transcribes every <corpus>/score/mei2012-30shortexamples/*/<name>.mus that has a
<name>.mei and compares the MIDI notes (120 ticks a quarter) with the MEI notes.
A MIDI note matches an MEI note of the same pitch when its onset is within 2
ticks and its length D satisfies 0.8*M - 2 <= D <= M + 2 for MEI length M (the
player sounds 95 % of a note and may cut it at a bar end); staccato notes only
need D >= 0.4*M - 2. Grace, tremolo and trilled notes are not counted, nor the
MIDI notes they account for. A file scores matched / max(MEI, MIDI notes), the
total is matched / the sum of those maxima; a failed transcription scores 0.
Exit 77 without the corpus, 1 when the total (or with --min-file any file) is low.
"""
import argparse, collections, glob, os, subprocess, sys, tempfile
import xml.etree.ElementTree as ET
from fractions import Fraction as Fr

import mido

TPQ = 120
STEPS = dict(c=0, d=2, e=4, f=5, g=7, a=9, b=11)
ALTER = {'s': 1, 'f': -1, 'ss': 2, 'x': 2, 'ff': -2, 'n': 0}
XID = '{http://www.w3.org/XML/1998/namespace}id'
SHORT = {'stacc', 'stacciss', 'spicc'}
ASIDE = ('grace', 'trem', 'trill')
Note = collections.namedtuple('Note', 'pitch on dur kind')  # kind: '', 'short' or one of ASIDE


def tag(e):
    return e.tag.rsplit('}', 1)[-1]


def kids(e, *names):
    return [c for c in e if tag(c) in names]


def key_map(sig):
    if not sig or not sig[:-1].isdigit():
        return {}
    order = 'fcgdaeb' if sig[-1] == 's' else 'beadgcf'
    return {s: 1 if sig[-1] == 's' else -1 for s in order[:int(sig[:-1])]}


class Mei:
    """MEI notes in ticks, one list a restart section."""

    def __init__(self, path):
        root = ET.parse(path).getroot()
        # @dur.ges holds MusicXML divisions in these files, not MEI values: used only
        # where @dur is missing, scaled by the divisions most elements agree on.
        ratios = collections.Counter(Fr(e.get('dur.ges')) / self.written(e) for e in root.iter()
                                     if tag(e) in ('note', 'chord', 'rest', 'space') and e.get('dur')
                                     and e.get('dur.ges', '0').isdigit() and int(e.get('dur.ges', 0)) > 0)
        self.div = ratios.most_common(1)[0][0] if ratios else None
        self.meter, self.beat, self.keys, self.key_all = Fr(4), Fr(1), {}, {}
        self.tie_start, self.tie_end, self.trills, self.spans = set(), set(), set(), {}
        self.unhandled, self.groups = collections.Counter(), []
        for e in root.iter():
            a, b = e.get('startid', '').lstrip('#'), e.get('endid', '').lstrip('#')
            if tag(e) == 'tie':
                self.tie_start.add(a), self.tie_end.add(b)
            elif tag(e) == 'tupletSpan':  # may sit in a later measure; some are given twice
                self.spans[(a, b)] = e
            elif tag(e) == 'trill':
                self.trills.add(a)
        self.new_group()
        self.walk(next(e for e in root.iter() if tag(e) == 'score'))
        self.groups = [self.resolve(raw) for raw in self.groups if raw]

    def new_group(self):
        self.raw, self.t, self.rep = [], Fr(0), (0, Fr(0))
        self.groups.append(self.raw)

    def written(self, e):
        base = sum(Fr({'breve': 2, 'long': 4}.get(p, 0)) or Fr(1, int(p)) for p in e.get('dur', '').split())
        return 4 * base * (2 - Fr(1, 2 ** int(e.get('dots', 0))))

    def length(self, e):
        g = e.get('dur.ges', '')
        return self.written(e) if e.get('dur') else Fr(g) / self.div if g.isdigit() and self.div else None

    def walk(self, el):
        for c in el:
            t = tag(c)
            if t == 'scoreDef':
                if c.get('meter.count'):
                    self.beat = Fr(4, int(c.get('meter.unit')))
                    self.meter = self.beat * int(c.get('meter.count'))
                if c.get('key.sig'):
                    self.key_all, self.keys = key_map(c.get('key.sig')), {}
                self.staff_keys(c)
            elif t == 'staffDef':
                self.staff_keys(c)
            elif t == 'measure':
                self.measure(c)
            elif t == 'app':
                self.walk(kids(c, 'lem', 'rdg')[0])
            elif t not in ('staffGrp', 'pgHead', 'pgFoot'):
                if t == 'section' and c.get('restart') == 'true':
                    self.new_group()
                self.walk(c)

    def staff_keys(self, el):
        for s in el.iter():
            if tag(s) == 'staffDef' and s.get('key.sig'):
                self.keys[s.get('n')] = key_map(s.get('key.sig'))

    def measure(self, m):
        self.staff_keys(m)
        if m.get('left') == 'rptstart':
            self.rep = (len(self.raw), self.t)
        # A trill given by time alone marks every note of its staff there.
        self.mtrills = {(s.get('staff'), (Fr(s.get('tstamp')) - 1) * self.beat) for s in m.iter()
                        if tag(s) == 'trill' and not s.get('startid') and s.get('tstamp')}
        longest = max([self.layer(ly, st.get('n'), id(m)) for st in kids(m, 'staff')
                       for ly in st.iter() if tag(ly) == 'layer'], default=Fr(0))
        # Shorter content is an upbeat or an excerpt; longer is an overfull layer.
        self.t += longest if 0 < longest < self.meter else self.meter
        if m.get('right') == 'rptend':
            i, t0 = self.rep
            self.raw += [dict(r, on=r['on'] + self.t - t0, m=(r['m'], 2)) for r in self.raw[i:]]
            self.t += self.t - t0
            self.rep = (len(self.raw), self.t)

    def flatten(self, el, ratio, out):
        for c in el:
            t = tag(c)
            if t in ('note', 'chord', 'rest', 'space', 'mRest', 'mSpace', 'fTrem', 'bTrem'):
                out.append([c, ratio])
            elif t == 'tuplet':
                self.flatten(c, ratio * Fr(int(c.get('numbase')), int(c.get('num'))), out)
            elif t == 'app':
                self.flatten(kids(c, 'lem', 'rdg')[0], ratio, out)
            elif t in ('beam', 'graceGrp'):
                self.flatten(c, ratio, out)
            elif t not in ('clef', 'keySig', 'meterSig', 'barLine', 'tupletSpan', 'beamSpan'):
                self.unhandled[t] += 1
        return out

    def layer(self, layer, staff_n, mid):
        evs = self.flatten(layer, Fr(1), [])
        ids = [{n.get(XID) for n in e.iter()} for e, _ in evs]
        for (a, b), s in self.spans.items():
            i = next((k for k, x in enumerate(ids) if a in x), None)
            j = next((k for k, x in enumerate(ids) if b in x), None)
            if i is None or j is None or j < i:
                continue
            if s.get('numbase'):
                r = Fr(int(s.get('numbase')), int(s.get('num')))
            elif s.get('dur'):  # only a total length: spread it over the written values
                r = self.written(s) / sum(self.length(e) * q for e, q in evs[i:j + 1] if self.length(e))
            else:
                self.unhandled['tupletSpan without numbase or dur'] += 1
                continue
            for ev in evs[i:j + 1]:
                ev[1] *= r
        key, t = self.keys.get(staff_n, self.key_all), Fr(0)
        for e, r in evs:
            grace = e.get('grace') is not None
            d = self.length(e) if tag(e) not in ('mRest', 'mSpace') else self.length(e) or self.meter
            notes = [(n, 'grace' if grace else '') for n in [e] + kids(e, 'note') if tag(n) == 'note']
            if tag(e) in ('fTrem', 'bTrem'):  # each inner value lasts the whole tremolo
                d = self.length(kids(e, 'note', 'chord')[0])
                notes = [(n, 'trem') for n in e.iter() if tag(n) == 'note']
            if d is None and not grace:
                d = Fr(0)
                if notes:
                    self.unhandled['no duration'] += 1
            step = Fr(0) if grace else d * r
            for n, k in notes:
                own = self.length(n) if n is not e and n.get('dur') else None
                arts = {w for x in (e, n) for a in [x] + kids(x, 'artic') for w in a.get('artic', '').split()}
                if not k and arts & SHORT:
                    k = 'short'
                if k != 'grace' and (n.get(XID) in self.trills or (staff_n, t) in self.mtrills):
                    k = 'trill'
                acc, ges = ([n.get(x)] + [a.get(x) for a in kids(n, 'accid') if a.get(x)] for x in ('accid', 'accid.ges'))
                tie, nid = (n.get('tie') or '') + ((e.get('tie') or '') if e is not n else ''), n.get(XID)
                self.raw.append(dict(
                    staff=n.get('staff', staff_n), m=mid, on=self.t + t, dur=own * r if own else step,
                    step=n.get('pname'), oct=int(n.get('oct', 4)), acc=acc[0] or acc[-1], ges=ges[0] or ges[-1],
                    key=key, kind=k, starts='i' in tie or 'm' in tie or nid in self.tie_start,
                    cont='m' in tie or 't' in tie or nid in self.tie_end))
            t += step
        return t

    @staticmethod
    def resolve(raw):
        """Pitches by accidentals in time order (per measure, staff, step and octave); ties merged."""
        state, open_ties, out = {}, {}, []
        for n in sorted(raw, key=lambda n: n['on']):
            where, line = (n['m'], n['staff'], n['step'], n['oct']), (n['step'], n['oct'])
            if n['acc']:
                state[where] = ALTER[n['acc']]
            alt = ALTER[n['ges']] if n['ges'] else state.get(where, n['key'].get(n['step'], 0))
            prev = open_ties.pop(line, None) if n['cont'] else None
            if prev is not None and prev['on'] + prev['dur'] == n['on']:
                prev['dur'] += n['dur']
            else:
                prev = dict(pitch=12 * (n['oct'] + 1) + STEPS[n['step']] + alt, on=n['on'], dur=n['dur'],
                            kind=n['kind'], staff=n['staff'])
                out.append(prev)
            if n['starts']:
                open_ties[line] = prev
        # Two layers sharing a notehead on one staff sound one note.
        keys = {(r['staff'], r['pitch'], r['on'], r['dur']): r for r in out}
        return [Note(r['pitch'], r['on'] * TPQ, r['dur'] * TPQ, r['kind']) for r in keys.values()]


def midi_notes(path):
    mf, notes = mido.MidiFile(path), []
    scale = Fr(TPQ, mf.ticks_per_beat)
    for track in mf.tracks:
        now, held = 0, collections.defaultdict(list)
        for msg in track:
            now += msg.time
            if msg.type == 'note_on' and msg.velocity > 0:
                held[(msg.channel, msg.note)].append(now)
            elif msg.type in ('note_on', 'note_off') and held[(msg.channel, msg.note)]:
                on = held[(msg.channel, msg.note)].pop(0)
                notes.append((msg.channel, msg.note, on * scale, (now - on) * scale))
    return sorted(notes, key=lambda n: (n[2], n[1]))


def match(notes, midi, used):
    """Greedy, in time order, nearest onset; marks the MIDI notes used, returns the MEI notes left."""
    lost = []
    for n in sorted((n for n in notes if n.kind not in ASIDE), key=lambda n: n.on):
        low = (Fr(2, 5) if n.kind == 'short' else Fr(4, 5)) * n.dur - 2
        best = min((i for i, m in enumerate(midi) if i not in used and m[1] == n.pitch
                    and abs(m[2] - n.on) <= 2 and low <= m[3] <= n.dur + 2),
                   key=lambda i: abs(midi[i][2] - n.on), default=None)
        lost.append(n) if best is None else used.add(best)
    return lost


def compare(mei, midi):
    """-> (counted MEI, counted MIDI, matched, MEI notes left, MIDI notes left)."""
    used, aside = set(), set()
    lost = match(mei, midi, used)
    for n in (n for n in mei if n.kind in ASIDE):
        free = [(i, m) for i, m in enumerate(midi) if i not in used and i not in aside]
        if n.kind == 'grace':
            aside.update([i for i, m in free if m[1] == n.pitch and abs(m[2] - n.on) <= TPQ][:1])
        else:  # a tremolo or trill may be played out: all its notes
            aside.update(i for i, m in free if abs(m[1] - n.pitch) <= 2 * (n.kind == 'trill')
                         and n.on - 2 <= m[2] < n.on + n.dur)
    extra = [m for i, m in enumerate(midi) if i not in used | aside]
    return sum(n.kind not in ASIDE for n in mei), len(midi) - len(aside), len(used), lost, extra


def shift(notes, off):
    return [n._replace(on=n.on + off) for n in notes]


def readings(groups, midi):
    """Restart sections are sub-examples or alternative encodings of one passage;
    the MEI does not say which, so both are tried. A sub-example may follow a
    spacer or come in another staff order: it goes where it matches the MIDI best."""
    if len(groups) == 1:
        yield '', groups[0]
        return
    used, placed = set(), []
    for notes in groups:
        firsts = sorted((n for n in notes if n.kind not in ASIDE), key=lambda n: n.on)[:3]
        offs = sorted({m[2] - n.on for n in firsts for m in midi if m[1] == n.pitch}) or [0]
        best = max(offs, key=lambda o: (-len(match(shift(notes, o), midi, set(used))), -abs(o)))
        match(shift(notes, best), midi, used)
        placed += shift(notes, best)
    yield 'sections in turn', placed
    for k, notes in enumerate(groups):
        yield f'section {k + 1} alone', notes


def transcribe(cli, mus, tmp):
    out = os.path.join(tmp, 'out.mid')
    cmd = [cli, '--data-dir', os.path.join(tmp, 'data'), 'transcribe', mus, '-o', out,
           '--yes', '--multiple-systems', 'yes']
    try:
        r = subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120)
    except (subprocess.TimeoutExpired, OSError) as ex:
        return None, type(ex).__name__
    if r.returncode != 0 or not os.path.exists(out):
        said = (r.stderr or r.stdout).strip().splitlines() or ['no output']
        return None, f'exit {r.returncode}: {said[-1]}'
    return midi_notes(out), None


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('cli')
    ap.add_argument('threshold', type=float, help='lowest total percentage')
    ap.add_argument('--corpus', default=os.path.join(os.path.dirname(__file__), '../../../shared/corpus'))
    ap.add_argument('--min-file', type=float, help='lowest percentage of any one file')
    ap.add_argument('-v', '--verbose', action='store_true', help='list the notes that did not match')
    a = ap.parse_args()
    folder = os.path.join(a.corpus, 'score', 'mei2012-30shortexamples')
    if not os.path.isdir(folder):
        print(f'corpus not found: {folder}')
        return 77
    tot, low = [0, 0, 0, 0], []
    print(f'{"example":<16} {"MEI":>4} {"MIDI":>4} {"match":>5} {"len":>4} {"%":>6}  (len: pitch and onset right)')
    for mei_path in sorted(glob.glob(os.path.join(folder, '*', '*.mei'))):
        mus, name = mei_path[:-4] + '.mus', os.path.basename(os.path.dirname(mei_path))
        if not os.path.exists(mus):
            continue
        mei = Mei(mei_path)
        with tempfile.TemporaryDirectory() as tmp:
            midi, err = transcribe(a.cli, mus, tmp)
        # The reading whose note count is nearest the MIDI's; on a tie (or failure), the first.
        scored = [(w, compare(r, midi or [])) for w, r in readings(mei.groups, midi or [])]
        note, (n_mei, n_midi, hit, lost, extra) = min(
            scored, key=lambda x: (midi is not None and abs(x[1][0] - x[1][1]), scored.index(x)))
        if midi is None:
            note = f'TRANSCRIPTION FAILED ({err})'
        if mei.unhandled:
            note += ' skipped in MEI: ' + ', '.join(f'{k} x{v}' for k, v in mei.unhandled.items())
        pct = 100 * hit / max(n_mei, n_midi, 1)
        length_only = sum(any(m[1] == n.pitch and abs(m[2] - n.on) <= 2 for m in extra) for n in lost)
        print(f'{name:<16} {n_mei:>4} {n_midi:>4} {hit:>5} {length_only:>4} {pct:>5.1f}%  {note}')
        for n in lost if a.verbose else []:
            print(f'    MEI  only: pitch {n.pitch} at {float(n.on):g} for {float(n.dur):g} {n.kind}')
        for m in extra if a.verbose else []:
            print(f'    MIDI only: pitch {m[1]} at {float(m[2]):g} for {float(m[3]):g} (channel {m[0]})')
        tot = [tot[0] + n_mei, tot[1] + n_midi, tot[2] + hit, tot[3] + max(n_mei, n_midi)]
        if a.min_file is not None and pct < a.min_file:
            low.append(name)
    total = 100 * tot[2] / max(tot[3], 1)
    print(f'{"total":<16} {tot[0]:>4} {tot[1]:>4} {tot[2]:>5} {"":>4} {total:>5.1f}%  (threshold {a.threshold:g}%)')
    if low:
        print(f'below --min-file {a.min_file:g}%: {", ".join(low)}')
    return 1 if total < a.threshold or low else 0


if __name__ == '__main__':
    sys.exit(main())
