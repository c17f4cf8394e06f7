#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the seed disks of fuzz-adf/ in the fuzz target's compact form (see
# fuzz_adf.cpp): each an Amiga disk with the volume "Seme", a drawer "Cassetto"
# and in it "Leggimi.txt" (900 bytes, comment "Un commento"), block by block,
# from the published layout of the Amiga file system, independently of the
# program's writer. Header checksums are left to the target (bit 15 of a
# chunk); the bitmap's is computed here. unadf lists and extracts them all.
#   python3 make_adf_seeds.py   (writes into fuzz-adf/ beside this script)
import os
import struct
def blk(): return bytearray(512)
def L(b, off, v): struct.pack_into('>I', b, off, v & 0xffffffff)
def name(b, off, s): b[off]=len(s); b[off+1:off+1+len(s)]=s
def hashn(s):
    h=len(s)
    for c in s: h=(h*13+ (c-32 if 97<=c<=122 else c)) & 0x7ff
    return h%72
def seed(flags, ffs, path):
    root=880; blocks={}
    r=blk(); L(r,0,2); L(r,12,72); L(r,312,-1); L(r,316,881); name(r,432,b'Seme'); L(r,508,1)
    d=blk(); L(d,0,2); L(d,4,882); name(d,432,b'Cassetto'); L(d,500,root); L(d,508,2)
    r[24+4*hashn(b'Cassetto'):28+4*hashn(b'Cassetto')]=struct.pack('>I',882)
    data=b'Testo di prova\n'*60
    f=blk(); L(f,0,2); L(f,4,883); name(f,432,b'Leggimi.txt'); L(f,500,882); L(f,508,-3); L(f,324,len(data))
    name(f,328,b'Un commento')
    per=512 if ffs else 488; n=(len(data)+per-1)//per
    L(f,8,n); L(f,16,884)
    for i in range(n): L(f,24+4*(71-i),884+i)
    d[24+4*hashn(b'Leggimi.txt'):28+4*hashn(b'Leggimi.txt')]=struct.pack('>I',883)
    out=bytes([flags<<1])
    chunks=[(880,r,True),(882,d,True),(883,f,True)]
    for i in range(n):
        b=blk(); piece=data[i*per:(i+1)*per]
        if ffs: b[:len(piece)]=piece; chunks.append((884+i,b,False))
        else:
            L(b,0,8); L(b,4,883); L(b,8,i+1); L(b,12,len(piece)); L(b,16,885+i if i+1<n else 0); b[24:24+len(piece)]=piece
            chunks.append((884+i,b,True))
    bm=blk()
    used={880,881,882,883}|{884+i for i in range(n)}
    for k in range(2,1760):
        if k not in used:
            i=k-2; w=struct.unpack_from('>I',bm,4+i//32*4)[0] | (1<<(i%32)); L(bm,4+i//32*4,w)
    s=sum(struct.unpack('>128I',bytes(bm)))&0xffffffff; L(bm,0,-s)
    chunks.append((881,bm,False))
    for k,b,fix in chunks: out+=struct.pack('>H',k|(0x8000 if fix else 0))+bytes(b)
    open(path,'wb').write(out)
d=os.path.join(os.path.dirname(os.path.abspath(__file__)), 'fuzz-adf') + '/'
seed(0,False,d+'ofs-drawer-file'); seed(1,True,d+'ffs-drawer-file'); seed(3,True,d+'ffs-intl-drawer-file'); seed(4,False,d+'ofs-dircache-drawer-file')
