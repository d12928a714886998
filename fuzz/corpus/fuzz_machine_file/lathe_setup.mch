[SECTION -- Text Parameters]
[Height]
.25
[WidthRatio]
.8
[SpacingRatio]
1.1
[FontFile]
/opt/fonts/Script.fnt
[Axis1]
C
[Axis1Start]
90
[TextAngleE]
0
[Axis2E]
Z
[Axis2StartE]
-1.5
[Axis3E]
X
[PenDownE]
1.98
[PenUpE]
2.1
[EngraveFeedE]
30
[PlungeFeedE]
12
[InverseTimeE]
1
[Justification]
1
[IntegrexMode]
2
[IntegrexHead]
1
[SECTION -- Pre Tool Change]
G28 U0 W0
  M5  
[SECTION -- Tool Change]
	T0101 M6
(ENGRAVE)

[SECTION -- Post Tool Change]
G97 S1500 M13
[SECTION -- Post Engrave]
M9
G28 U0 W0
