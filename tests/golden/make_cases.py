#!/usr/bin/env python3
"""Writes cases.txt: the stylor-cli runs whose program files are kept byte for byte in expected/.

Each case is a block: "case NAME", then one argument per line ("\\n" in an argument is a line
break, "\\\\" a backslash), then "end". "@" at the start of an argument is the run's empty working
folder, which holds BasicFont.fnt; "$FONTS/" the shipped fonts. A line "seed NAME TEXT" puts a
file into the folder before the run.
"""
import itertools
import os

HERE = os.path.dirname(os.path.abspath(__file__))

METRIC = {"TextHeightE": "5", "PenDownE": "-0.2", "PenUpE": "2", "EngraveFeedE": "300",
          "PlungeFeedE": "100", "Axis1StartE": "10", "Axis2StartE": "-5", "TextAngleE": "30",
          "WidthRatioE": "0.8", "SpacingRatioE": "1.2", "LineSpacingE": "1.6"}
BLOCKS = {"PreToolChange": "%\nO1000 (NAME PLATE)", "ToolChange": "T1 M06",
          "PostToolChange": "G90 G54\nS10000 M03", "PostEngrave": "M05\nM30\n%"}
# On a rotary axis the pen down level is the radius of the cylinder, so it is above 0 and the
# pen lifts outwards.
ROTARY = {"Axis1E": "Y", "Axis2E": "C", "PenDownE": "18.398", "PenUpE": "19.3",
          "Axis2StartE": "15", "TextHeightE": "1.2", "EngraveFeedE": "120", "PlungeFeedE": "40"}

JOB_FIELDS = {
    "text": {"FreeFormTextE": "SERIAL 0042\nAB-7/c"},
    "arc": {"ArcTextE": "ON THE RIM 90", "RadiusE": "2.5", "TextAngleE": "90"},
    "ellipse": {"EllipseTextE": "BADGE No 7", "AEdit": "6", "BEdit": "3.5"},
    "sequence": {"SeqStart": "98", "SeqEnd": "102", "SeqStep": "2", "SeqPrefix": "SN-",
                 "SeqPreGCodes": "(NEXT)", "SeqPostGCodes": "M00"},
}

cases = []


def add(name, settings=None, actions=(), seeds=()):
    args = []
    for field, value in (settings or {}).items():
        args += ["--set", f"{field}={value}"]
    args += list(actions)
    cases.append((name, list(seeds), args))


def job(name, extra, action, seeds=(), out="@/o.eia"):
    settings = dict(JOB_FIELDS[action])
    if action == "ellipse" and extra.get("TextHeightE", "0") in ("5", "1.2"):
        settings.update({"AEdit": "120", "BEdit": "70"})
    settings.update(extra)
    add(name, settings, [action, out], seeds)


# Every job on a few set-ups, every justification.
for setup_name, setup in [("default", {}), ("metric", METRIC), ("blocks", {**METRIC, **BLOCKS})]:
    for action in JOB_FIELDS:
        for justification in range(3):
            job(f"{action}-{setup_name}-j{justification}", {**setup, "Justification": str(justification)},
                action)

# Circle and ellipse directions, ellipse points.
for direction, justification in itertools.product(range(2), range(3)):
    job(f"arc-dir{direction}-j{justification}",
        {**METRIC, "Direction": str(direction), "Justification": str(justification), "RadiusE": "40"},
        "arc")
for point, direction, justification in itertools.product(range(4), range(2), range(3)):
    job(f"ellipse-p{point}-dir{direction}-j{justification}",
        {**METRIC, "JustifyPoint": str(point), "EllipseDirection": str(direction),
         "Justification": str(justification), "AEdit": "120", "BEdit": "70"}, "ellipse")
job("ellipse-typed-point", {"JustifyPoint": "-1", "JustifyPointText": "c"}, "ellipse")

# Every lathe-mill mode and head, every feed mode, every job. The modes that turn a rotary axis
# (G16 and G07.1) cut on a cylinder whose radius is the pen down level.
for mode, head, feed in itertools.product(range(-1, 7), range(2), range(3)):
    pens = {"PenDownE": "1.5", "PenUpE": "2.5"} if mode in (1, 2) else {"PenDownE": "-1.5",
                                                                         "PenUpE": "0.5"}
    for action in JOB_FIELDS:
        job(f"mode{mode}-head{head}-feed{feed}-{action}",
            {"IntegrexMode": str(mode), "IntegrexHead": str(head), "FeedMode": str(feed),
             **pens, "TextHeightE": "0.8", "Axis1StartE": "30", "Axis2StartE": "2", **BLOCKS},
            action)

# Rotary axes typed by hand, in the three feed modes, with start values in degrees.
for letters, feed in itertools.product([("Y", "C"), ("A", "Z"), ("X", "B"), ("C", "X")], range(3)):
    for action in ("text", "arc", "sequence"):
        job(f"rotary-{letters[0]}{letters[1]}-feed{feed}-{action}",
            {**ROTARY, "Axis1E": letters[0], "Axis2E": letters[1], "FeedMode": str(feed)}, action)
job("rotary-negative-zero", {"Axis1E": "Y", "Axis2E": "C", "PenDownE": "18.398",
                             "PenUpE": "19.3", "Axis2StartE": "-0.00001", "TextHeightE": "0.5894",
                             "FreeFormTextE": "L"}, "text")
job("rotary-g16-seam", {"IntegrexMode": "1", "PenDownE": "0.6", "PenUpE": "0.7",
                        "TextHeightE": "0.5",
                        "Axis1StartE": "3.5", "FreeFormTextE": "WRAP AROUND"}, "text")

# Sequences: one file, many files, arc settings, digits, steps.
for files, use_arc, digits in itertools.product(range(2), range(2), ("0", "6")):
    job(f"sequence-files{files}-arc{use_arc}-digits{digits}",
        {**METRIC, "Files": str(files), "UseArcSettings": str(use_arc), "SeqDigits": digits,
         "FilePrefix": "SN", "RadiusE": "30", "SeqPostfix": "/B"}, "sequence",
        out="@/" if files else "@/program.eia")
job("sequence-negative", {"SeqStart": "-3", "SeqEnd": "2", "SeqStep": "0", "SeqDigits": "4"},
    "sequence")
job("sequence-ccw-arc", {"UseArcSettings": "1", "Direction": "1", "Justification": "1"}, "sequence")
job("sequence-end-below-start", {"SeqStart": "10", "SeqEnd": "5"}, "sequence")

# Append chains into one program, the way a job is built from several operations.
for modes in ["1 2 3", "1 3", "2", "3"]:
    actions = []
    for k, mode in enumerate(modes.split()):
        action = ["text", "arc", "ellipse"][k % 3]
        for field, value in JOB_FIELDS[action].items():
            if action == "ellipse" and field in ("AEdit", "BEdit"):
                value = str(float(value) * 20)
            actions += ["--set", f"{field}={value}"]
        actions += ["--set", f"AppendMode={mode}", action, "@/chain.eia"]
    add(f"append-{modes.replace(' ', '-')}", {**METRIC, **BLOCKS}, actions,
        seeds=[("chain.eia", "(OLD)\\nM30")])
add("append-many-files", {**BLOCKS, **JOB_FIELDS["sequence"], "Files": "1", "AppendMode": "2",
                          "FilePrefix": "P"},
    ["sequence", "@/"], seeds=[("P98.eia", "(OLD 98)")])

# Machine files saved, reopened, and old ones.
add("machine-save", {**METRIC, **BLOCKS, "IntegrexMode": "3", "IntegrexHead": "1"},
    ["save-machine", "@/lathe.mch"])
add("machine-roundtrip", {**METRIC, **BLOCKS, "IntegrexMode": "5", "FeedMode": "2"},
    ["save-machine", "@/m.mch", "reset-machine", "--set", "TextHeightE=9", "open-machine",
     "@/m.mch", "--set", "FreeFormTextE=LATHE", "text", "@/o.eia"])
add("machine-open-old", {}, ["open-old", "@/old.mch", "--set", "FreeFormTextE=OLD", "text",
                             "@/o.eia"],
    seeds=[("old.mch", "[PreToolChange]\\nG90\\n[ToolChange]\\nT2\\n[PostToolChange]\\n"
                       "[PostEngrave]\\nM30")])

# Other fonts.
for font in ("DuplexRoman", "ComplexRoman", "Script", "Gothic"):
    add(f"font-{font}", {**METRIC, "FreeFormTextE": "Fine 1/2 Wq"},
        ["--font", f"$FONTS/{font}.fnt", "text", "@/o.eia"])

# The characters of parts beyond ASCII, in every shipped face, straight and around an arc.
PARTS = "\u00d825 h7 \u00b10.05 90\u00b0 \u00b5m 3\u00d7M6 \u00bd \u00a9 \u20ac \u00c9t\u00e9 \u00df"
add("font-BasicFont-parts", {**METRIC, "FreeFormTextE": PARTS}, ["text", "@/o.eia"])
for font in ("DuplexRoman", "ComplexRoman", "Script", "Gothic", "Greek"):
    add(f"font-{font}-parts", {**METRIC, "FreeFormTextE": PARTS},
        ["--font", f"$FONTS/{font}.fnt", "text", "@/o.eia"])
add("arc-parts", {**METRIC, "ArcTextE": "\u00d8 40 \u00b10.1 \u00b0", "RadiusE": "20"},
    ["arc", "@/o.eia"])

# Refusals: the old program stays as it was, nothing else is written.
OLD = [("o.eia", "(A FINISHED PROGRAM)\\nM30")]
for name, extra, action in [
        ("zero-radius", {"RadiusE": "0"}, "arc"),
        ("ccw-zero-radius", {"RadiusE": "-0.125", "Direction": "1"}, "arc"),
        ("huge-height", {"TextHeightE": "1e200"}, "text"),
        ("huge-start", {"SeqStart": "2000000000", "SeqEnd": "2000000001", "Axis1StartE": "5e8",
                        "TextHeightE": "6e8"}, "sequence"),
        ("rotary-zero-pen", {"Axis2E": "C", "PenDownE": "0"}, "text"),
        ("rotary-negative-pen", {"Axis2E": "C", "PenDownE": "-0.15"}, "text"),
        ("rotary-factory-pen", {"Axis1E": "A"}, "sequence"),
        ("g16-factory-pen", {"IntegrexMode": "1"}, "arc"),
        ("g071-negative-pen", {"IntegrexMode": "2", "PenDownE": "-1.5"}, "ellipse"),
        ("inverse-equal-pens", {"FeedMode": "2", "PenDownE": "1", "PenUpE": "1"}, "ellipse"),
        ("degrees-zero-feed", {"FeedMode": "1", "EngraveFeedE": "0"}, "arc"),
        ("bad-axis", {"Axis1E": "7"}, "text"),
        ("bad-height", {"TextHeightE": "abc"}, "ellipse"),
        ("minor-above-major", {"AEdit": "2", "BEdit": "3"}, "ellipse"),
        ("too-long", {"AEdit": "0.2", "BEdit": "0.1"}, "ellipse"),
        ("bad-digits", {"SeqDigits": "x"}, "sequence")]:
    job(f"refuse-{name}", extra, action, seeds=OLD)

with open(os.path.join(HERE, "cases.txt"), "w", encoding="utf-8", newline="\n") as out:
    out.write("# Made by make_cases.py; see there for the format.\n")
    for name, seeds, args in cases:
        out.write(f"case {name}\n")
        for seed_name, text in seeds:
            out.write(f"seed {seed_name} {text}\n")
        for arg in args:
            out.write(arg.replace("\\", "\\\\").replace("\n", "\\n") + "\n")
        out.write("end\n")
print(len(cases), "cases")
