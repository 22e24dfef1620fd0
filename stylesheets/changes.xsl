<?xml version="1.0" encoding="UTF-8"?>
<!--
  What changed between two inventories, as one self-contained HTML page. Its
  input is the change document that cvsysinfo writes when it compares two
  inventories in XML; run it with xsltproc, the page goes to standard output.

  Keys and values in a change document were copied from the two inventories,
  so they are as untrusted as an inventory's: the rules of inventory.xsl
  hold here too, and its frame and cleaning are reused.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:exsl="http://exslt.org/common" exclude-result-prefixes="exsl">
  <xsl:import href="inventory.xsl"/>
  <xsl:output method="html" encoding="UTF-8" indent="no" doctype-system="about:legacy-compat"/>

  <xsl:template match="/">
    <xsl:variable name="page">
      <xsl:call-template name="changes-page"/>
    </xsl:variable>
    <xsl:apply-templates select="exsl:node-set($page)/node()" mode="clean"/>
  </xsl:template>

  <xsl:template name="changes-page">
    <xsl:variable name="doc" select="cvchanges"/>
    <xsl:variable name="title">
      <xsl:text>Changes</xsl:text>
      <xsl:choose>
        <xsl:when test="$doc/old/@host and $doc/old/@host = $doc/new/@host">
          <xsl:text> on </xsl:text>
          <xsl:value-of select="$doc/old/@host"/>
        </xsl:when>
        <xsl:when test="$doc">
          <xsl:text> from </xsl:text>
          <xsl:apply-templates select="$doc/old" mode="name"/>
          <xsl:text> to </xsl:text>
          <xsl:apply-templates select="$doc/new" mode="name"/>
        </xsl:when>
      </xsl:choose>
    </xsl:variable>
    <html lang="en">
      <xsl:call-template name="head">
        <xsl:with-param name="title" select="$title"/>
      </xsl:call-template>
      <body>
        <h1><xsl:value-of select="$title"/></h1>
        <xsl:choose>
          <xsl:when test="$doc">
            <xsl:apply-templates select="$doc"/>
          </xsl:when>
          <xsl:otherwise>
            <p class="warn">This is not a change document: its document element is
              <code><xsl:value-of select="name(*)"/></code>, not cvchanges.</p>
          </xsl:otherwise>
        </xsl:choose>
      </body>
    </html>
  </xsl:template>

  <!-- An inventory as a reader knows it: its host, else its file. -->
  <xsl:template match="old | new" mode="name">
    <xsl:choose>
      <xsl:when test="@host"><xsl:value-of select="@host"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="@file"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="cvchanges">
    <p id="summary" class="big"><xsl:value-of select="summary"/></p>
    <dl class="facts" id="compared">
      <dt>Before</dt><dd id="old"><xsl:apply-templates select="old"/></dd>
      <dt>After</dt><dd id="new"><xsl:apply-templates select="new"/></dd>
    </dl>
    <xsl:if test="@all = 'yes'">
      <p class="muted">Volatile values (usage figures, counters, times) are included.</p>
    </xsl:if>
    <xsl:choose>
      <xsl:when test="not(containers/container | node/item | templates/item)">
        <xsl:if test="normalize-space(summary) != 'No changes.'">
          <p id="no-changes">No changes.</p>
        </xsl:if>
      </xsl:when>
      <xsl:otherwise>
        <xsl:apply-templates select="containers[container]"/>
        <xsl:apply-templates select="node[item] | templates[item]" mode="section"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- "node-east-1 at TIME, kit VERSION (file F)": what is known of it. -->
  <xsl:template match="old | new">
    <xsl:apply-templates select="." mode="name"/>
    <xsl:if test="@time">
      <xsl:text> at </xsl:text>
      <xsl:value-of select="@time"/>
    </xsl:if>
    <xsl:if test="@version">
      <xsl:text>, kit </xsl:text>
      <xsl:value-of select="@version"/>
    </xsl:if>
    <xsl:if test="@host">
      <span class="muted">
        <xsl:text> (file </xsl:text>
        <xsl:value-of select="@file"/>
        <xsl:text>)</xsl:text>
      </span>
    </xsl:if>
  </xsl:template>

  <xsl:template match="containers">
    <section id="containers">
      <h2>Containers</h2>
      <!-- A container added or removed has nothing to list but itself. -->
      <xsl:variable name="whole" select="container[not(item)]"/>
      <xsl:if test="$whole">
        <ul id="added-removed">
          <xsl:for-each select="$whole">
            <li>
              <xsl:text>Container </xsl:text>
              <xsl:value-of select="@id"/>
              <xsl:text> </xsl:text>
              <xsl:call-template name="change-word"/>
            </li>
          </xsl:for-each>
        </ul>
      </xsl:if>
      <xsl:for-each select="container[item]">
        <section id="ct-{translate(@id, translate(@id, '0123456789', ''), '')}">
          <h3>
            <xsl:text>Container </xsl:text>
            <xsl:value-of select="@id"/>
            <xsl:text> </xsl:text>
            <xsl:call-template name="change-word"/>
          </h3>
          <xsl:call-template name="items"/>
        </section>
      </xsl:for-each>
    </section>
  </xsl:template>

  <xsl:template match="node | templates" mode="section">
    <section id="{name()}">
      <h2>
        <xsl:choose>
          <xsl:when test="self::node">Node</xsl:when>
          <xsl:otherwise>Templates</xsl:otherwise>
        </xsl:choose>
      </h2>
      <xsl:call-template name="items"/>
    </section>
  </xsl:template>

  <!-- The items of the context element, one row each, in their order. -->
  <xsl:template name="items">
    <table class="changes">
      <thead>
        <tr><th>Kind</th><th>What</th><th>Change</th><th>Before</th><th>After</th></tr>
      </thead>
      <tbody>
        <xsl:for-each select="item">
          <tr>
            <td><xsl:value-of select="@kind"/></td>
            <td><xsl:value-of select="@key"/></td>
            <td><xsl:call-template name="change-word"/></td>
            <td><xsl:value-of select="@old"/></td>
            <td><xsl:value-of select="@new"/></td>
          </tr>
        </xsl:for-each>
      </tbody>
    </table>
  </xsl:template>

  <!-- The change of the context element, coloured only when it is one the
       page knows: the class never carries the document's text. -->
  <xsl:template name="change-word">
    <xsl:variable name="class">
      <xsl:choose>
        <xsl:when test="@change = 'added' or @change = 'opened'">change-added</xsl:when>
        <xsl:when test="@change = 'removed' or @change = 'closed'">change-removed</xsl:when>
        <xsl:when test="@change = 'changed'">change-changed</xsl:when>
      </xsl:choose>
    </xsl:variable>
    <span class="{$class}"><xsl:value-of select="@change"/></span>
  </xsl:template>
</xsl:stylesheet>
