[SECTION -- Text Parameters]
[Height]
.125
[WidthRatio]
1
[SpacingRatio]
1
[FontFile]
BasicFont.fnt
[Axis1]
X
[Axis1Start]
0
[TextAngleE]
0
[Axis2E]
Y
[Axis2StartE]
0
[Axis3E]
Z
[PenDownE]
-.001
[PenUpE]
.001
[EngraveFeedE]
50
[PlungeFeedE]
25
[InverseTimeE]
0
[Justification]
0
[IntegrexMode]
0
[IntegrexHead]
0
[SECTION -- Pre Tool Change]
[SECTION -- Tool Change]
[SECTION -- Post Tool Change]
[SECTION -- Post Engrave]
