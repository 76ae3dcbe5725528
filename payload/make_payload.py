#!/usr/bin/env python3
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1], 'w')
z.writestr('config.ini', '[log]\nip=127.0.0.1\n')
z.close()
