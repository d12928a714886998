[SECTION -- Pre Tool Change]
T1 M6
[SECTION -- Tool Change]
  G90 G54  

[SECTION -- Post Tool Change]
[SECTION -- Post Engrave]
M30
[SECTION -- Extra]
M2
