#!/usr/bin/env python3
"""Orders the still-image reader's views by what they read per millisecond.

    build/default/bench/cordavex_bench_corpus --views-tsv > views.tsv
    bench/plan_views.py views.tsv [--rate 0.02] [--large-rate 0.02]

Reads one line per candidate view and image (view, image, decoded 0/1, 2 for a
wrong reading or - when the view cannot be made of the image, ms, placed: the
symbologies of which a call placed a symbol and, shifted 8 places, those whose
content a call refused (which the reader then gives up), and bit 16 when a call
grouped bars as a Cordavex code's finder, the image's pixels, the most finder
candidates a call found and the closer looks after it) and builds three plans greedily, never with a view that
reads an image not yet read wrongly: one for the images of at most 76800 / 3
pixels (QCIF and smaller), one for the others the engine keeps as they are (up
to 4 x 76800 - 1 pixels) and one for the larger images it reduces:
the next view is the one that reads the most images not yet read per
millisecond it costs on those images (the reader stops at the first success, so
only they pay for it). A plan ends when the best view reads fewer than --rate
(--large-rate) images per millisecond. Prints what each plan reads and costs
per set and the plans as the C++ initialisers of engine/still_reader.cpp.

    bench/plan_views.py views.tsv --refine engine/still_reader.cpp

starts instead from each plan as it stands in the reader (the plans of
kPlans, with their probes, each on the images of its frame sizes: a plan for
any mix of symbologies is refined on every image, a plan for one symbology on
that symbology's images; --plans
chooses some of them; --rebuild starts instead from views chosen greedily
until they read what the plan reads) and improves it by moving, dropping,
replacing or adding one view at a time and by choosing the probes: after how
many views without one QR finder candidate, and without two, the reader gives
up on a QR code (never before a view that holds the whole frame), after how
many without a placed Data Matrix or Cordavex
code on those, after how many that placed a QR code (a Data Matrix)
without reading it on that (never more than the plan has), and after how many
without a group of Cordavex code bars. A change is kept when every image
read before (with the plan's QR probes and no other give-up) is still read, no reading is wrong and the whole
corpus costs less (with --weights FILE, each set's milliseconds divided by its
weight; a line naming "read: " and a set weighs again what the images of
that set that were read cost; --power P raises each such ratio to P). That needs the seventh column of the table, the
most finder candidates a call found. The closer looks that the reader takes
after a view that placed a symbol on a frame the engine reduces come from the
columns after it (what each closer look would read and cost after that view);
a table without them leaves the closer looks out.

    bench/plan_views.py single.tsv --refine engine/still_reader.cpp \
        --plans kPlan,kDmPlan,kQrPlan --together every.tsv

refines plans of one frame size together, in turns, with single.tsv made for
each image's own symbology and every.tsv made with --every-symbology: the plan
for a mix is judged on every.tsv as it narrows to the others' current views,
so that a change to a symbology's own plan counts what it does to the mix too.
A change is kept when every plan still reads each image it read.
"""
import argparse
import collections
import re
import sys


def image_set(name):
    # Camera-like QR frames are named "WxH difficulty vN", the other
    # symbologies' "dm WxH difficulty ..." and "cv WxH ..."; the rest are photos.
    words = name.split()
    if words[0] in ("dm", "cv"):
        return " ".join(words[:2])
    if re.fullmatch(r"\d+x\d+", words[0]):
        return "qr " + words[0]
    return ("dm" if name.startswith("datamatrix") else "qr") + " real photos"


def initialiser(view):
    m = re.fullmatch(r"(.+?) mode (\d+)(?: x(\d+))?(?: offset (\d+))?", view)
    if not m:
        raise ValueError("unknown view name: " + view)
    kind, mode, calls = m.group(1), int(m.group(2)), int(m.group(3) or 1)
    offset = int(m.group(4) or 0)
    if kind == "full":
        args = ("kFull", 100, 0)
    elif kind == "unreduced":
        args = ("kLargestUnreduced", 100, 0)
    elif kind == "local threshold":
        args = ("kLocalThreshold", 100, 0)
    elif m2 := re.fullmatch(r"scale (\d+)%", kind):
        args = ("kScale", int(m2.group(1)), 0)
    elif m2 := re.fullmatch(r"pad (\d+)%", kind):
        args = ("kPad", int(m2.group(1)), 0)
    elif m2 := re.fullmatch(r"crop (\d)", kind):
        args = ("kCrop", 100, int(m2.group(1)))
    elif m2 := re.fullmatch(r"turn (\d+)", kind):
        args = ("kTurn", 100, int(m2.group(1)) // 90)
    else:
        raise ValueError("unknown view kind: " + kind)
    return "    {ViewKind::%s, %d, %d, %d, %d, %d}," % (args + (mode, calls, offset))


# The engine reduces frames of 4 x 76800 pixels or more; the reader has its
# own plans for frames of at most a third of 76800 (QCIF and smaller).
LARGE_FRAME_PIXELS = 4 * 76800
TINY_FRAME_PIXELS = 76800 // 3
TIERS = ("tiny", "small", "large")


def tier_of(pixels):
    if pixels >= LARGE_FRAME_PIXELS:
        return "large"
    return "tiny" if pixels <= TINY_FRAME_PIXELS else "small"


def greedy(views, images, read, cost, rate, wrong):
    plan, unread = [], set(images)
    while True:
        best = None
        for view in views:
            if view in plan or any(wrong[view].get(image) for image in unread):
                continue
            gain = sum(1 for image in unread if read[view][image])
            spent = sum(cost[view].get(image, 0) for image in unread)
            if gain and spent > 0 and (best is None or gain / spent > best[0]):
                best = (gain / spent, view)
        if best is None or best[0] < rate:
            return plan
        plan.append(best[1])
        unread = {image for image in unread if not read[best[1]][image]}


# Views after which a rebuilt plan gives up on a QR code (Data Matrix) that
# every one of them placed and none read; the refinement may shorten them (the
# fifth and sixth probes).
QR_PLACED_VIEWS = 6
DM_PLACED_VIEWS = 99

# A change must save this share of the plan's cost to be kept.
MARGIN = 0.0025


def view_name(kind, a, b, mode, calls, offset):
    name = {"kFull": "full", "kLargestUnreduced": "unreduced",
            "kLocalThreshold": "local threshold"}.get(kind)
    if kind == "kScale":
        name = "scale %s%%" % a
    elif kind == "kPad":
        name = "pad %s%%" % a
    elif kind == "kCrop":
        name = "crop %s" % b
    elif kind == "kTurn":
        name = "turn %d" % (int(b) * 90)
    return (name + " mode " + mode + ("" if calls == "1" else " x" + calls) +
            ("" if offset == "0" else " offset " + offset))


def plans_in_source(source):
    """Each plan of the reader (name, the symbologies it serves, the frames it
    is for: one of TIERS, its views and its probes), from kPlans."""
    symbologies = {"kMaskAll": None, "kMaskQr": "qr", "kMaskDataMatrix": "dm",
                   "kMaskCordavex": "cv"}
    table = source.split("constexpr PlanSet kPlans[] = {")[1].split("};")[0]
    plans = []
    for mask, *names in re.findall(r"\{(kMask\w+), &(\w+), &(\w+), &(\w+)\}", table):
        for name, tier in zip(names, TIERS):
            m = re.search(r"constexpr Plan %s\{(\w+), (\d+), (\d+), (\d+), (\d+), (\d+), "
                          r"(\d+), (\d+)\};" % name, source)
            body = source.split("constexpr StillView %s[] = {" % m.group(1))[1].split("};")[0]
            views = [view_name(*v.groups()) for v in re.finditer(
                r"\{ViewKind::(\w+), (\d+), (\d+), (\d+), (\d+), (\d+)\}", body)]
            probe = tuple(int(m.group(k)) for k in range(2, 9))
            plans.append((name, m.group(1), symbologies[mask], tier, views, probe))
    return plans


def sees_whole_frame(view):
    """The view holds the whole frame at its own resolution or more, as the
    reader's SeesWholeFrame says: only then do its probes give up."""
    m = re.match(r"(full|turn|pad|unreduced|local threshold|scale (\d+)%)", view)
    return bool(m) and (m.group(2) is None or int(m.group(2)) >= 100)


# The reader's mask bits.
MASK_QR, MASK_CV, MASK_DM = 1, 2, 4
# The placed column's low byte; the symbologies whose content a call refused
# sit above it, shifted by REFUSED; above those, GROUPS says a call grouped
# Cordavex code bars.
PLACED, REFUSED, GROUPS = 0xFF, 8, 1 << 16
OWN_MASK = {"qr": MASK_QR, "cv": MASK_CV, "dm": MASK_DM}


class Table:
    """Each image's cost, reading, finder count and placing per view, as lists.
    With `every`, the table was made looking for every symbology in every
    image (--every-symbology), as the reader does for a mix; otherwise for
    each image's own symbology only."""

    def __init__(self, images, read, cost, finders, placed, wrong, looks=None, every=False,
                 own_plans=None):
        self.groups = [image_set(image) for image in images]
        self.every = every
        # For a plan for a mix: each symbology's own plan (mask bit: views),
        # whose views the reader takes next once the views have placed that
        # symbology alone.
        self.own_plans = own_plans
        self.own = [OWN_MASK[group[:2]] for group in self.groups]
        self.masks = [MASK_QR | MASK_CV | MASK_DM if every else own for own in self.own]
        looks = looks or {}

        def bits(value, i):
            # A table for one symbology says only whether it placed one. The
            # bits above the eighth name the symbologies whose content a
            # call refused, and GROUPS the bars grouped.
            put, others = value & PLACED, value & ~PLACED
            return (put if every else self.masks[i] if put else 0) | others

        def taken(view_looks, i):
            return tuple(None if look is None else look[:4] + (bits(look[4], i),)
                         for look in view_looks)

        # A view that cannot be made of an image is skipped, as the reader
        # skips it: no cost, and it does not count towards a probe. The last
        # field holds the closer looks the reader would take after the view.
        self.rows = {view: [None if image not in cost[view] else
                            (cost[view][image], read[view][image], finders[view].get(image, 0),
                             bits(placed[view].get(image, 0), i), wrong[view].get(image, False),
                             taken(looks.get(view, {}).get(image, ()), i))
                            for i, image in enumerate(images)]
                     for view in read}

    def run(self, plan, probe):
        """Images read and ms spent per set, as the reader would with this plan
        and probe: views without one QR finder candidate, views without two,
        views without a placed Data Matrix, views without a placed Cordavex
        code, views that placed a QR code (a Data Matrix) unread, views
        without a group of Cordavex code bars; the reader stops when it has given up on every symbology it
        looks for. A view that places a symbol on a frame the engine reduces
        and does not read it is followed by the next closer look, while there
        is one (when the table has them)."""
        decoded, spent = collections.Counter(), collections.Counter()
        for i, group in enumerate(self.groups):
            wanted, own = self.masks[i], self.own[i]
            most = views = qr_placings = dm_placings = closer = placed = grouped = 0
            whole = False
            here = 0.0
            sequence, k, taken, narrowed = plan, 0, set(), False
            while k < len(sequence):
                view = sequence[k]
                k += 1
                cell = self.rows[view][i]
                if cell is None or (narrowed and view in taken):
                    continue
                taken.add(view)
                ms, ok, found, put, bad, looks = cell
                # Once the reader has given up on the image's symbology, a
                # view that would have read it no longer looks for it.
                ok = ok and wanted & own
                spent[group] += ms
                here += ms
                if not ok and not bad and closer < len(looks) and looks[closer] is not None:
                    look_ms, ok, look_found, bad, look_put = looks[closer]
                    ok = ok and wanted & own
                    closer += 1
                    spent[group] += look_ms
                    here += look_ms
                    found = max(found, look_found)
                    placed |= look_put & PLACED
                    put |= look_put & ~PLACED
                if ok:
                    decoded[group] += 1
                    decoded[READ] |= 1 << i
                    spent[DECODED + group] += here
                    break
                if bad:
                    # The reader stops at a wrong reading too.
                    decoded[WRONG] += 1
                    break
                views += 1
                whole = whole or sees_whole_frame(view)
                most = max(most, found)
                placed |= put & PLACED
                grouped |= put & GROUPS
                # The probes speak only once a view has seen the whole frame.
                if whole and ((views >= probe[0] and most < 1) or (views >= probe[1] and most < 2)):
                    wanted &= ~MASK_QR
                if whole and views >= probe[2] and not placed & MASK_DM:
                    wanted &= ~MASK_DM
                if whole and views >= probe[3] and not placed & MASK_CV:
                    wanted &= ~MASK_CV
                if whole and views >= probe[6] and not grouped:
                    wanted &= ~MASK_CV
                # A symbol whose content was refused reads the same in every view.
                wanted &= ~((put & ~GROUPS) >> REFUSED)
                if not wanted:
                    break
                qr_placings += 1 if put & MASK_QR else 0
                if qr_placings >= probe[4]:
                    wanted &= ~MASK_QR
                dm_placings += 1 if put & MASK_DM else 0
                if dm_placings >= probe[5]:
                    wanted &= ~MASK_DM
                if not wanted:
                    break
                alone = placed & wanted
                if self.own_plans and not narrowed and alone and alone & (alone - 1) == 0:
                    sequence, k, narrowed = self.own_plans[alone] + plan[k:], 0, True
        return decoded, spent


# The keys under which Table.run counts wrong readings and marks the images
# read (bit i for image i), and the prefix of the key under which it adds up
# what the images of a set that were read cost.
WRONG = "wrong readings"
READ = "images read"
DECODED = "read: "


def keeps(decoded, floor):
    """Every image read before is read, and no more readings are wrong. (A
    count per set would let a plan trade an image for another, which says
    more about the corpus than about the reader.)"""
    return floor.get(READ, 0) & ~decoded[READ] == 0 and decoded[WRONG] <= floor.get(WRONG, 0)


def best_placed_probes(table, plan, probe, floor):
    """The shortest Data Matrix and Cordavex code probes, the fewest views
    placing a QR code or a Data Matrix unread before it is given up (never more
    than the plan has) and the shortest probe for Cordavex code bars, with
    which every image is still read."""
    probe = list(probe)
    for index in (2, 3, 4, 5, 6):
        for views in range(1, (min(probe[index], len(plan) + 1) if index in (4, 5) else len(plan))
                           + 1):
            trial = probe[:index] + [views] + probe[index + 1:]
            if keeps(table.run(plan, trial)[0], floor):
                probe = trial
                break
    return tuple(probe)


# Each set's milliseconds count divided by its weight (--weights); 1 unless set.
WEIGHTS = {}
# What each weighed set's ratio is raised to (--power).
POWER = 1.0


def cost_of(spent):
    """The sets' milliseconds, each divided by its weight and raised to the
    power; what the images of a set that were read cost counts again where the
    weights name it ("read: " and the set)."""
    return sum((ms / WEIGHTS[group]) ** POWER if group in WEIGHTS else
               0 if group.startswith(DECODED) else ms
               for group, ms in spent.items())


def floor_of(table, plan, probe):
    """What a plan reads: with the QR probe it has and no other give-up, so
    that the Data Matrix and Cordavex code probes can be chosen anew; but on
    a table that looks for every symbology in every image, where a longer
    probe for one symbology keeps the reader looking for the others too, with
    the probes it has."""
    return dict(table.run(plan, probe if table.every else
                          probe[:2] + (99, 99) + probe[4:6] + (99,))[0])


def shuffles(plan):
    """The plan with one view dropped, or moved to another place."""
    changed = [plan[:i] + plan[i + 1:] for i in range(len(plan))]
    for i, view in enumerate(plan):
        rest = plan[:i] + plan[i + 1:]
        changed += [rest[:j] + [view] + rest[j:] for j in range(len(plan)) if j != i]
    return changed


def additions(plan, others):
    """The plan with one of `others` added anywhere, or in place of one view."""
    changed = []
    for i in range(len(plan) + 1):
        for view in others:
            changed.append(plan[:i] + [view] + plan[i:])
            if i < len(plan):
                changed.append(plan[:i] + [view] + plan[i + 1:])
    return changed


def refine(table, plan, probe):
    floor = floor_of(table, plan, probe)
    if not table.every:
        probe = best_placed_probes(table, plan, probe[:2] + (99, 99) + probe[4:6] + (99,), floor)
    decoded, spent = table.run(plan, probe)
    best = (cost_of(spent), plan, probe)
    print("// starting plan: %.1f" % best[0])
    while True:
        start = best
        plan, probe = best[1], best[2]
        for candidate in shuffles(plan):
            for first in range(1, len(candidate) + 1):
                for second in range(first, len(candidate) + 1):
                    trial = (first, second) + probe[2:]
                    decoded, spent = table.run(candidate, trial)
                    total = cost_of(spent)
                    # Below a quarter per cent a change is timing noise.
                    if total < best[0] - MARGIN * best[0] and keeps(decoded, floor):
                        best = (total, candidate, trial)
        # Any other view of the table in place of one of the plan's, or added
        # anywhere, with the probes as they are.
        plan, probe = best[1], best[2]
        others = [view for view in table.rows if view not in plan]
        for candidate in additions(plan, others):
            decoded, spent = table.run(candidate, probe)
            total = cost_of(spent)
            if total < best[0] - MARGIN * best[0] and keeps(decoded, floor):
                best = (total, candidate, probe)
        shorter = best_placed_probes(table, best[1], best[2], floor)
        total = cost_of(table.run(best[1], shorter)[1])
        if total < best[0] - MARGIN * best[0]:
            best = (total, best[1], shorter)
        if best is start:
            return best[1], best[2]
        print("// %.1f" % best[0])


def rebuild(table, plan, probe):
    """A new start for refine(): views chosen greedily, each for the images it
    adds per weighted millisecond among those the plan reads (closer looks
    included, no give-up while choosing), until it reads them all; then the
    shortest probes that keep them. Leaves a local optimum that moving one
    view at a time cannot."""
    floor = floor_of(table, plan, probe)
    wanted, no_give_up = floor[READ], (99,) * 7
    built = []
    while True:
        decoded, spent = table.run(built, no_give_up)
        have, base = decoded[READ] & wanted, cost_of(spent)
        if have == wanted:
            break
        best = None
        for view in table.rows:
            if view in built:
                continue
            decoded, spent = table.run(built + [view], no_give_up)
            if decoded[WRONG] > floor.get(WRONG, 0):
                continue
            gain = bin(decoded[READ] & wanted & ~have).count("1")
            if gain and (best is None or gain / max(cost_of(spent) - base, 1e-6) > best[0]):
                best = (gain / max(cost_of(spent) - base, 1e-6), view)
        if best is None:
            # What is left is read only by views that would misread an image
            # not yet read: the plan's own views, in its order, read it.
            built += [view for view in plan if view not in built]
            break
        built.append(best[1])
    probe = best_placed_probes(
        table, built, (len(built), len(built), 99, 99, QR_PLACED_VIEWS, DM_PLACED_VIEWS, 99), floor)
    chosen = None
    for first in range(1, len(built) + 1):
        for second in range(first, len(built) + 1):
            trial = (first, second) + probe[2:]
            decoded, spent = table.run(built, trial)
            if keeps(decoded, floor) and (chosen is None or cost_of(spent) < chosen[0]):
                chosen = (cost_of(spent), trial)
    return (built, chosen[1]) if chosen else (plan, probe)


def refine_together(entries, mix):
    """refine() for several plans of one frame tier at once: `entries` maps
    each plan's name to [table, plan, probe, mask], `mix` names the plan for a
    mix among them (or None). The mix's table narrows to the current plans of
    the others, so that a change to one of them is judged by what it does to
    the mix as well. A change is kept when every table still reads every image
    it read, no reading is wrong and the tables' costs add up to less."""
    own_base = dict(entries[mix][0].own_plans) if mix else {}

    def run_all(state):
        if mix:
            own = dict(own_base)
            for name, (table, plan, probe, mask) in state.items():
                if mask:
                    own[mask] = plan
            state[mix][0].own_plans = own
        return {name: table.run(plan, probe) for name, (table, plan, probe, mask) in state.items()}

    def total_of(runs):
        return sum(cost_of(spent) for decoded, spent in runs.values())

    state = {name: list(entry) for name, entry in entries.items()}
    runs = run_all(state)
    floors = {name: dict(decoded) for name, (decoded, spent) in runs.items()}
    best = total_of(runs)
    print("// starting plans: %.1f" % best)
    while True:
        start = best
        for name in list(state):
            table, plan, probe, mask = state[name]
            # The mix narrows to the others' views: it must know them too.
            others = [view for view in table.rows
                      if view not in plan and not (mix and view not in state[mix][0].rows)]
            candidates = [(changed, probe) for changed in shuffles(plan) + additions(plan, others)
                          if changed]
            for index in range(len(probe)):
                for step in (-1, 1):
                    if probe[index] + step >= 1:
                        shorter = tuple(probe[:index]) + (probe[index] + step,) + tuple(probe[index + 1:])
                        candidates.append((plan, shorter))
            chosen = None
            for candidate, trial in candidates:
                state[name] = [table, candidate, trial, mask]
                runs = run_all(state)
                total = total_of(runs)
                if total < best - MARGIN * best and all(
                        keeps(runs[other][0], floors[other]) for other in state):
                    best, chosen = total, (candidate, trial)
            state[name] = [table, chosen[0] if chosen else plan,
                           chosen[1] if chosen else probe, mask]
        if best >= start:
            run_all(state)
            return {name: (plan, tuple(probe)) for name, (table, plan, probe, mask) in state.items()}
        print("// %.1f" % best)


def print_run(table, plan, probe):
    decoded, spent = table.run(plan, probe)
    count = collections.Counter(table.groups)
    for group in count:
        print("// %-12s %3d/%-3d read, %8.1f ms (%.1f ms on those read)" % (
            group, decoded[group], count[group], spent[group], spent[DECODED + group]))
    print("// %d wrong readings" % decoded[WRONG])


def report(title, plan, images, read, cost):
    decoded, spent, count = (collections.Counter() for _ in range(3))
    for image in images:
        group = image_set(image)
        count[group] += 1
        for view in plan:
            spent[group] += cost[view].get(image, 0)
            if read[view][image]:
                decoded[group] += 1
                break
    print("// " + title)
    for group in count:
        print("// %-12s %3d/%-3d read, %8.1f ms" % (group, decoded[group], count[group], spent[group]))
    for view in plan:
        print(initialiser(view) + "  // " + view)


def load_table(path):
    """A table of views made by --views-tsv: (read, cost, pixels, finders, placed,
    wrong, looks, views), each but the last keyed by view and image."""
    read = collections.defaultdict(dict)
    cost = collections.defaultdict(dict)
    pixels = {}
    finders = collections.defaultdict(dict)
    placed = collections.defaultdict(dict)
    wrong = collections.defaultdict(dict)
    looks = collections.defaultdict(dict)
    views = []
    with open(path) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) < 6:
                continue
            view, image, decoded, ms = fields[:4]
            if view not in read:
                views.append(view)
            pixels[image] = int(fields[5])
            if decoded == "-":
                read[view][image] = False
                continue
            read[view][image] = decoded == "1"
            wrong[view][image] = decoded == "2"
            cost[view][image] = float(ms)
            if len(fields) >= 7:
                finders[view][image] = int(fields[6])
                placed[view][image] = int(fields[4])
            # Closer looks: decoded (x when not taken), ms, finders, placed.
            taken = []
            for k in range(7, len(fields) - 3, 4):
                if fields[k] == "x":
                    taken.append(None)
                else:
                    taken.append((float(fields[k + 1]), fields[k] == "1", int(fields[k + 2]),
                                  fields[k] == "2", int(fields[k + 3])))
            if any(taken):
                looks[view][image] = tuple(taken)
    if not views:
        sys.exit("no view lines in " + path)
    return read, cost, pixels, finders, placed, wrong, looks, views


def print_plan(name, views_name, table, plan, probe):
    print("// %s refined: give up on a QR code after %d views without a finder "
          "candidate, %d without two; on Data Matrix after %d views that placed "
          "none, on Cordavex code after %d; on a QR code placed by %d views and "
          "not read, on a Data Matrix by %d; on Cordavex code after %d without "
          "its bars grouped" % ((name,) + tuple(probe)))
    print_run(table, plan, probe)
    print("constexpr StillView %s[] = {" % views_name)
    for view in plan:
        print(initialiser(view) + "  // " + view)
    print("};")
    print("constexpr Plan %s{%s, %d, %d, %d, %d, %d, %d, %d};" % ((name, views_name) + tuple(probe)))


def refine_named_together(source, wanted, single, every):
    """--together: the named plans, which must share a frame tier, refined by
    refine_together() on the single-symbology table and the table for a mix."""
    found = [p for p in plans_in_source(source) if p[0] in wanted]
    if len(found) != len(wanted) or len({p[3] for p in found}) != 1:
        sys.exit("--together needs plans of the reader, all for one frame size")
    tier = found[0][3]
    entries, names, mix = {}, {}, None
    for name, views_name, symbology, _, plan, probe in found:
        data = every if symbology is None else single
        read, cost, pixels, finders, placed, wrong, looks = data[:7]
        images = [image for image in read[next(iter(read))] if tier_of(pixels[image]) == tier
                  and (symbology is None or image_set(image).startswith(symbology + " "))]
        own_plans = None
        if symbology is None:
            mix = name
            own_plans = {OWN_MASK[other[2]]: other[4] for other in plans_in_source(source)
                         if other[2] is not None and other[3] == tier}
        table = Table(images, read, cost, finders, placed, wrong, looks, symbology is None,
                      own_plans)
        entries[name] = [table, list(plan), tuple(probe),
                         OWN_MASK[symbology] if symbology else 0]
        names[name] = views_name
    for name, (plan, probe) in refine_together(entries, mix).items():
        print_plan(name, names[name], entries[name][0], plan, probe)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tsv")
    parser.add_argument("--rate", type=float, default=0.02,
                        help="images read per millisecond below which the plan ends")
    parser.add_argument("--large-rate", type=float, default=0.02,
                        help="the same for the plan of the images the engine reduces")
    parser.add_argument("--refine", metavar="SOURCE",
                        help="refine the plans of this reader source")
    parser.add_argument("--weights", metavar="FILE",
                        help="lines of a set's name, a tab and a weight (such as zxing-cpp's "
                             "milliseconds on it): the refinement minimises the sum of each "
                             "set's milliseconds divided by its weight instead of the plain sum")
    parser.add_argument("--power", type=float, default=1.0,
                        help="with --weights, raise each set's ratio to this power before "
                             "adding them up: above 1 a millisecond counts for more on the "
                             "sets furthest above their weight, so that the refinement "
                             "brings the worst ratios down first")
    parser.add_argument("--plans", metavar="NAMES",
                        help="with --refine, only these plans (comma-separated, such as "
                             "kQrPlan,kQrLargeFramePlan)")
    parser.add_argument("--rebuild", action="store_true",
                        help="with --refine, start from a plan built greedily to read what "
                             "each plan reads, rather than from the plan itself")
    parser.add_argument("--together", metavar="EVERY_TSV",
                        help="with --refine and --plans naming plans of one frame size (a "
                             "plan for a mix and plans for one symbology), refine them "
                             "together: each single-symbology plan on the table, the plan for "
                             "a mix on this table made with --every-symbology, narrowing to "
                             "the others as they change")
    parser.add_argument("--every-symbology", action="store_true",
                        help="the table was made with --every-symbology: refine only the "
                             "plans for a mix of symbologies, which then look for all three "
                             "in every image as the reader does")
    options = parser.parse_args()
    global POWER
    POWER = options.power
    if options.weights:
        with open(options.weights) as f:
            for line in f:
                if line.strip() and not line.startswith("#"):
                    group, weight = line.rstrip("\n").split("\t")
                    WEIGHTS[group] = float(weight)

    read, cost, pixels, finders, placed, wrong, looks, views = load_table(options.tsv)
    images = list(read[views[0]])
    tiers = {tier: [image for image in images if tier_of(pixels[image]) == tier]
             for tier in TIERS}
    if options.refine:
        if not finders:
            sys.exit(options.tsv + " has no finder column: make it again with --views-tsv")
        with open(options.refine) as f:
            source = f.read()
        wanted = options.plans.split(",") if options.plans else None
        if options.together:
            if not wanted:
                sys.exit("--together needs --plans")
            refine_named_together(source, wanted, (read, cost, pixels, finders, placed, wrong,
                                                   looks), load_table(options.together))
            return
        for name, views_name, symbology, tier, plan, probe in plans_in_source(source):
            if wanted and name not in wanted:
                continue
            # A table made looking for every symbology serves only the plans
            # for a mix, and a plan for a mix is best refined on one.
            if options.every_symbology and symbology is not None:
                continue
            subset = [image for image in tiers[tier]
                      if symbology is None or image_set(image).startswith(symbology + " ")]
            if not subset:
                continue
            # The reader narrows a plan for a mix to the plan of the same
            # frames for the one symbology it has placed alone.
            own_plans = None
            if symbology is None:
                own_plans = {OWN_MASK[other[2]]: other[4] for other in plans_in_source(source)
                             if other[2] is not None and other[3] == tier}
            table = Table(subset, read, cost, finders, placed, wrong, looks,
                          options.every_symbology, own_plans)
            if options.rebuild:
                plan, probe = rebuild(table, plan, probe)
            plan, probe = refine(table, plan, probe)
            print_plan(name, views_name, table, plan, probe)
        return
    for title, tier, rate in (
            ("kTinyFramePlan: images of at most %d pixels" % TINY_FRAME_PIXELS, "tiny",
             options.rate),
            ("kPlan: the other images the engine keeps as they are", "small", options.rate),
            ("kLargeFramePlan: images the engine reduces", "large", options.large_rate)):
        report(title, greedy(views, tiers[tier], read, cost, rate, wrong), tiers[tier], read, cost)


if __name__ == "__main__":
    main()
