' A short check of the speed parameters
LSPD=500, OK
HSPD=5000, OK
LSPD, 500
HSPD, >=4000
' Move out and back
ABS
X1000 'absolute target
DELAY=1000
PX, *=990|1010
X0
DELAY=1000
PX, 0
