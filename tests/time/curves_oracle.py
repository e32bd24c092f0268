# Computes the expected values of TimeCurvesTest.cpp independently with Python's math
# module (double precision, DelayLinear's delay rounded to float as the engine stores it).
# Run: python3 tests/time/curves_oracle.py and paste the rows into the table.
import math
Q=1.57075; T=6.283
def clamp(f):
    def g(t):
        if not (t < 1.0): return 1.0
        return f(t)
    return g
acc={0:lambda t:1-math.sin(Q*t+Q),1:lambda t:t*t,2:lambda t:t**3,3:lambda t:t**4,7:lambda t:t*t}
dec={0:lambda t:math.sin(Q*t),1:lambda t:1-(1-t)**2,2:lambda t:1-(1-t)**3,3:lambda t:1-(1-t)**4,-1:lambda t:1-(1-t)**2}
ts=[-0.25,0.0,0.1,0.25,0.5,0.75,0.9,0.999,1.0,1.5]
rows=[]
for m,f in acc.items():
    rows.append((f'Acc({m})', [clamp(f)(t) for t in ts]))
for m,f in dec.items():
    rows.append((f'Dec({m})', [clamp(f)(t) for t in ts]))
import struct
f32=lambda x: struct.unpack("f",struct.pack("f",x))[0]
for d0 in (0.0,0.5,0.9):
    d=f32(d0)
    rows.append((f'Delay({d0}f)', [clamp(lambda t: (t-d)/(1-d) if t>d else 0.0)(t) for t in ts]))
rows.append(('Crest()', [math.tan((t-0.5)*2.5)/6+0.5 for t in ts]))
rows.append(('Trough()', [math.atan((t-0.5)*6)/2.5+0.5 for t in ts]))
rows.append(('Over()', [(1-(1-1.4*t)**2)*1.2 for t in ts]))
for n in (1.5,3.0):
    rows.append((f'Pend({n})', [clamp(lambda t: 1+(1-t)*math.sin((t*n-0.25)*T))(t) for t in ts]))
print("const double kT[] = {" + ", ".join(repr(t) for t in ts) + "};")
for name,vals in rows:
    print("    {\"%s\", %s, {%s}}," % (name, name, ", ".join("%.17g"%v for v in vals)))
