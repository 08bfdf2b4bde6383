<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Probe</name>
    <message>
        <source>catalogue</source>
        <translation>en_US</translation>
    </message>
    <message>
        <source>你好</source>
        <translation>Hello</translation>
    </message>
</context>
</TS>
